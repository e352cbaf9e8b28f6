#include "Hdr.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace d3dx {

namespace {

// One row of RGBE into `rgbe` (4 bytes a pixel); false when damaged or cut short.
bool ReadRow(const uint8_t* data, size_t size, size_t* pos, UINT width, uint8_t* rgbe) {
  const size_t left = size - *pos;
  const uint8_t* p = data + *pos;
  const bool runs = width >= 8 && width <= 0x7fff && left >= 4 && p[0] == 2 && p[1] == 2 && (p[2] & 0x80) == 0;
  if (!runs) {
    if (left / 4 < width) return false;
    std::copy(p, p + static_cast<size_t>(width) * 4, rgbe);
    *pos += static_cast<size_t>(width) * 4;
    return true;
  }
  if ((static_cast<UINT>(p[2]) << 8 | p[3]) != width) return false;
  size_t at = *pos + 4;
  for (UINT channel = 0; channel < 4; ++channel) {
    for (UINT x = 0; x < width;) {
      if (at >= size) return false;
      const UINT count = data[at++];
      if (count > 128) {  // a run of one value
        const UINT n = count - 128;
        if (n > width - x || at >= size) return false;
        for (UINT i = 0; i < n; ++i) rgbe[(x + i) * 4 + channel] = data[at];
        ++at;
        x += n;
      } else {  // `count` values
        if (count == 0 || count > width - x || size - at < count) return false;
        for (UINT i = 0; i < count; ++i) rgbe[(x + i) * 4 + channel] = data[at + i];
        at += count;
        x += count;
      }
    }
  }
  *pos = at;
  return true;
}

}  // namespace

bool DecodeHdr(const uint8_t* data, size_t size, const ImageHeader& header, RgbaImage* out) {
  if (header.kind != ImageKind::Hdr) return false;
  RgbaImage image;
  image.width = header.width;
  image.height = header.height;
  image.pixels.resize(static_cast<size_t>(header.width) * header.height * 4);
  if (!DecodeHdr(data, size, header, reinterpret_cast<uint8_t*>(image.pixels.data()),
                 static_cast<size_t>(header.width) * 4 * sizeof(float))) {
    return false;
  }
  *out = std::move(image);
  return true;
}

bool DecodeHdr(const uint8_t* data, size_t size, const ImageHeader& header, uint8_t* out, size_t pitch) {
  if (header.kind != ImageKind::Hdr || header.leastBytes > size || header.rasterOffset > size) return false;
  std::vector<uint8_t> rgbe(static_cast<size_t>(header.width) * 4);
  size_t pos = header.rasterOffset;
  for (UINT y = 0; y < header.height; ++y) {
    if (!ReadRow(data, size, &pos, header.width, rgbe.data())) return false;
    float* dst = reinterpret_cast<float*>(out + y * pitch);
    for (UINT x = 0; x < header.width; ++x, dst += 4) {
      const uint8_t* e = &rgbe[static_cast<size_t>(x) * 4];
      // Mantissas over 256 times two to the exponent less 128.
      const float scale = e[3] != 0 ? std::ldexp(1.0f, static_cast<int>(e[3]) - (128 + 8)) : 0.0f;
      dst[0] = e[0] * scale;
      dst[1] = e[1] * scale;
      dst[2] = e[2] * scale;
      dst[3] = 1.0f;
    }
  }
  return true;
}

}  // namespace d3dx
