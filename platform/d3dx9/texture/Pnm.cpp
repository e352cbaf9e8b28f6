#include "Pnm.h"

#include <utility>

namespace d3dx {

bool DecodePnm(const uint8_t* data, size_t size, const ImageHeader& header, RgbaImage* out) {
  if (header.kind != ImageKind::Pnm || header.leastBytes > size || header.maxValue == 0) return false;
  RgbaImage image;
  image.width = header.width;
  image.height = header.height;
  const size_t pixels = static_cast<size_t>(header.width) * header.height;
  image.pixels.resize(pixels * 4);
  const uint8_t* src = data + header.rasterOffset;
  const float scale = 1.0f / static_cast<float>(header.maxValue);
  for (size_t i = 0; i < pixels; ++i, src += header.channels) {
    float* p = &image.pixels[i * 4];
    for (UINT c = 0; c < 3; ++c) p[c] = static_cast<float>(src[header.channels == 3 ? c : 0]) * scale;
    p[3] = 1.0f;
  }
  *out = std::move(image);
  return true;
}

}  // namespace d3dx
