#include "Pnm.h"

#include <algorithm>
#include <utility>

namespace d3dx {

bool DecodePnm(const uint8_t* data, size_t size, const ImageHeader& header, Rgba8Image* out) {
  if (header.kind != ImageKind::Pnm || header.leastBytes > size || header.maxValue == 0 || header.maxValue > 255) {
    return false;
  }
  Rgba8Image image;
  image.width = header.width;
  image.height = header.height;
  const size_t pixels = static_cast<size_t>(header.width) * header.height;
  image.pixels = ByteBuffer(pixels * 4);
  const uint8_t* src = data + header.rasterOffset;
  const UINT max = header.maxValue;
  uint8_t scaled[256];
  for (UINT v = 0; v < 256; ++v) scaled[v] = static_cast<uint8_t>(std::min<UINT>(255, (v * 255 + max / 2) / max));
  for (size_t i = 0; i < pixels; ++i, src += header.channels) {
    uint8_t* p = &image.pixels[i * 4];
    for (UINT c = 0; c < 3; ++c) p[c] = scaled[src[header.channels == 3 ? c : 0]];
    p[3] = 255;
  }
  *out = std::move(image);
  return true;
}

}  // namespace d3dx
