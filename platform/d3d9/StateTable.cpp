#include "StateTable.h"

#include "DeviceState.h"

namespace ostrevin::d3d9 {

namespace {

constexpr size_t kRenderRows = sizeof(kRenderStateTable) / sizeof(kRenderStateTable[0]);
constexpr size_t kSamplerRows = sizeof(kSamplerStateTable) / sizeof(kSamplerStateTable[0]);
static_assert(kRenderRows < 255 && kSamplerRows < 255);

constexpr bool InSdkOrderBelow(UINT limit) {
  for (size_t i = 0; i < kRenderRows; ++i)
    if (static_cast<UINT>(kRenderStateTable[i].state) >= limit ||
        (i > 0 && kRenderStateTable[i].state <= kRenderStateTable[i - 1].state))
      return false;
  for (size_t i = 0; i < kSamplerRows; ++i)
    if (static_cast<UINT>(kSamplerStateTable[i].state) != i + 1) return false;
  return true;
}
static_assert(kRenderStateNumbers == DeviceState::kRenderStates, "the index covers every recorded state");
static_assert(InSdkOrderBelow(kRenderStateNumbers), "one row per state, in order, below kRenderStateNumbers");
static_assert(kSamplerRows + 1 == DeviceState::kSamplerStates, "D3DSAMP_ADDRESSU (1) .. the last row");

}  // namespace

}  // namespace ostrevin::d3d9
