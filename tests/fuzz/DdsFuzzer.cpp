// libFuzzer target: the DDS parser, then the whole texture loader
// (D3DXCreateTextureFromFileInMemory: DDS with legacy and DX10 headers, cube
// maps and volumes, PNG, JPEG, BMP, TGA, PGM/PPM, Radiance HDR, PFM) on the
// stub device of the texture tests, whose levels AddressSanitizer guards.
#include <d3dx9.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/d3dx9/texture/Dds.h"
#include "platform/formats/TextureLayout.h"
#include "tests/texture/StubDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  d3dx::DdsImage image;
  if (d3dx::ParseDds(data, size, &image) == d3dx::DdsError::None) {
    // Every level lies inside the input and has the size its dimensions need.
    if (image.levelCount == 0 || image.levelCount > d3dx::kMaxLevels) std::abort();
    for (UINT i = 0; i < image.levelCount; ++i) {
      const d3dx::DdsLevel& level = image.levels[i];
      if (level.data < data || level.data + level.size > data + size ||
          level.size != ostrevin::formats::LevelBytes(image.format, level.width, level.height)) {
        std::abort();
      }
    }
  }

  static texture_test::StubDevice device;
  IDirect3DTexture9* texture = nullptr;
  const HRESULT hr = D3DXCreateTextureFromFileInMemory(&device, size == 0 ? nullptr : data,
                                                       static_cast<UINT>(size), &texture);
  if (SUCCEEDED(hr) != (texture != nullptr)) std::abort();
  if (texture != nullptr) {
    if (!static_cast<texture_test::StubTexture*>(texture)->PaddingIntact()) std::abort();
    if (texture->Release() != 0) std::abort();
  }
  return 0;
}
