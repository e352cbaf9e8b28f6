#include "StateTable.h"

#include "DeviceState.h"

namespace ostrevin::d3d9 {

namespace {

// Row + 1 by state number (0: no such state), made once at compile time.
template <typename Info, size_t kRows, UINT kStates>
struct RowIndex {
  uint8_t row[kStates] = {};
  constexpr explicit RowIndex(const Info (&rows)[kRows]) {
    for (size_t i = 0; i < kRows; ++i) row[static_cast<UINT>(rows[i].state)] = static_cast<uint8_t>(i + 1);
  }
};

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
static_assert(InSdkOrderBelow(DeviceState::kRenderStates), "one row per state, in order, below DeviceState::kRenderStates");
static_assert(kSamplerRows + 1 == DeviceState::kSamplerStates, "D3DSAMP_ADDRESSU (1) .. the last row");

constexpr RowIndex<RenderStateInfo, kRenderRows, DeviceState::kRenderStates> kRenderIndex(kRenderStateTable);

}  // namespace

const RenderStateInfo* FindRenderState(UINT state) {
  if (state >= DeviceState::kRenderStates || kRenderIndex.row[state] == 0) return nullptr;
  return &kRenderStateTable[kRenderIndex.row[state] - 1];
}

const SamplerStateInfo* FindSamplerState(UINT state) {
  if (state < 1 || state > kSamplerRows) return nullptr;
  return &kSamplerStateTable[state - 1];
}

}  // namespace ostrevin::d3d9
