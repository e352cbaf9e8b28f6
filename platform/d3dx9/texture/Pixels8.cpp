#include "Pixels8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "TextureLayout.h"
#include "Pixels.h"

namespace d3dx {

namespace formats = ostrevin::formats;

namespace {

// The formats written, and their bytes a pixel.
struct Layout8 {
  D3DFORMAT format;
  UINT bytes;
};

constexpr Layout8 kLayouts[] = {{D3DFMT_L8, 1}, {D3DFMT_A8L8, 2}, {D3DFMT_X8R8G8B8, 4}, {D3DFMT_A8R8G8B8, 4}};

const Layout8* FindLayout(D3DFORMAT format) {
  for (const Layout8& layout : kLayouts)
    if (layout.format == format) return &layout;
  return nullptr;
}

uint8_t Round(uint16_t v) { return static_cast<uint8_t>((v + 128u) >> 8); }
uint8_t Round(uint8_t v) { return v; }

// 8.8 fixed point from the sum of four channels (2x2) or two (2x1): bytes
// sum exactly, fixed-point sums round to the nearest.
inline uint16_t Average4(unsigned sum, const uint8_t*) { return static_cast<uint16_t>(sum << 6); }
inline uint16_t Average4(unsigned sum, const uint16_t*) { return static_cast<uint16_t>((sum + 2) >> 2); }
inline uint16_t Average2(unsigned sum, const uint8_t*) { return static_cast<uint16_t>(sum << 7); }
inline uint16_t Average2(unsigned sum, const uint16_t*) { return static_cast<uint16_t>((sum + 1) >> 1); }

template <typename T>
std::vector<uint8_t> EncodePixels(D3DFORMAT format, const T* src, UINT width, UINT height) {
  const size_t count = static_cast<size_t>(width) * height;
  const formats::FormatInfo* info = formats::FindFormat(format);
  if (info != nullptr && info->compressed && CanConvert(format)) {
    std::vector<uint8_t> bytes(static_cast<size_t>(formats::LevelBytes(format, width, height)));
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    uint8_t pixels[16][4];
    uint8_t* block = bytes.data();
    for (UINT by = 0; by < blocksHigh; ++by) {
      for (UINT bx = 0; bx < blocksWide; ++bx, block += info->blockBytes) {
        for (UINT y = 0; y < 4; ++y) {
          for (UINT x = 0; x < 4; ++x) {
            const size_t sx = std::min(bx * 4 + x, width - 1), sy = std::min(by * 4 + y, height - 1);
            const T* p = src + (sy * width + sx) * 4;
            for (int c = 0; c < 4; ++c) pixels[y * 4 + x][c] = Round(p[c]);
          }
        }
        EncodeBlock(format, pixels, block);
      }
    }
    return bytes;
  }
  const Layout8* layout = FindLayout(format);
  if (layout == nullptr) return {};
  std::vector<uint8_t> bytes(count * layout->bytes);
  uint8_t* dst = bytes.data();
  switch (format) {
    case D3DFMT_L8:
      for (size_t i = 0; i < count; ++i) dst[i] = Round(src[i * 4]);
      break;
    case D3DFMT_A8L8:
      for (size_t i = 0; i < count; ++i) {
        dst[i * 2] = Round(src[i * 4]);
        dst[i * 2 + 1] = Round(src[i * 4 + 3]);
      }
      break;
    default: {  // B, G, R, A in memory; the X of X8R8G8B8 written as ones
      const uint8_t alphaMask = format == D3DFMT_X8R8G8B8 ? 0xFF : 0x00;
      for (size_t i = 0; i < count; ++i) {
        const T* p = src + i * 4;
        uint8_t* q = dst + i * 4;
        q[0] = Round(p[2]);
        q[1] = Round(p[1]);
        q[2] = Round(p[0]);
        q[3] = static_cast<uint8_t>(Round(p[3]) | alphaMask);
      }
      break;
    }
  }
  return bytes;
}

template <typename T>
FixedRgbaImage Halve(const T* src, UINT width, UINT height) {
  FixedRgbaImage next;
  next.width = std::max<UINT>(1, width / 2);
  next.height = std::max<UINT>(1, height / 2);
  next.pixels.resize(static_cast<size_t>(next.width) * next.height * 4);
  const size_t stride = static_cast<size_t>(width) * 4;
  uint16_t* out = next.pixels.data();
  if (width > 1 && height > 1) {
    for (UINT y = 0; y < next.height; ++y) {
      const T* p = src + static_cast<size_t>(y) * 2 * stride;
      const T* q = p + stride;
      for (UINT x = 0; x < next.width; ++x, p += 8, q += 8, out += 4) {
        out[0] = Average4(unsigned{p[0]} + p[4] + q[0] + q[4], src);
        out[1] = Average4(unsigned{p[1]} + p[5] + q[1] + q[5], src);
        out[2] = Average4(unsigned{p[2]} + p[6] + q[2] + q[6], src);
        out[3] = Average4(unsigned{p[3]} + p[7] + q[3] + q[7], src);
      }
    }
    return next;
  }
  // One pixel wide or high: pairs along the other dimension (a 1x1 image
  // is its own average).
  const size_t step = width > 1 ? 4 : height > 1 ? stride : 0;
  const size_t count = static_cast<size_t>(next.width) * next.height;
  for (size_t i = 0; i < count; ++i, out += 4) {
    const T* p = src + i * 2 * step;
    const T* q = p + step;
    for (int c = 0; c < 4; ++c) out[c] = Average2(unsigned{p[c]} + q[c], src);
  }
  return next;
}

// Source offsets and the weight (in 1/4096) of the second tap of each
// destination column or row, as Resample places them.
struct Tap {
  size_t at0, at1;
  uint64_t weight1;
};

std::vector<Tap> Taps(UINT src, UINT dst, size_t unit) {
  std::vector<Tap> result;
  result.reserve(dst);
  for (const ResampleTap& tap : ResampleTaps(src, dst))
    result.push_back(Tap{tap.i0 * unit, tap.i1 * unit, static_cast<uint64_t>(tap.t * 4096.0f + 0.5f)});
  return result;
}

// One channel of a bilinear tap: bytes times weights in 1/4096 (2^24 in
// all), to a byte with rounding.
inline uint8_t Mix(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t wx0, uint32_t wx1, uint64_t wy0,
                   uint64_t wy1) {
  const uint64_t top = p00 * wx0 + p01 * wx1, bottom = p10 * wx0 + p11 * wx1;
  return static_cast<uint8_t>((top * wy0 + bottom * wy1 + (1u << 23)) >> 24);
}

}  // namespace

bool CanEncodeFixed(D3DFORMAT format) {
  if (FindLayout(format) != nullptr) return true;
  const formats::FormatInfo* info = formats::FindFormat(format);
  return info != nullptr && info->compressed && CanConvert(format);
}

std::vector<uint8_t> EncodeFixed(D3DFORMAT format, const FixedRgbaImage& image) {
  return EncodePixels(format, image.pixels.data(), image.width, image.height);
}

std::vector<uint8_t> Encode8(D3DFORMAT format, const Rgba8Image& image) {
  return EncodePixels(format, image.pixels.data(), image.width, image.height);
}

FixedRgbaImage BoxDownsampleFixed(const FixedRgbaImage& image) {
  return Halve(image.pixels.data(), image.width, image.height);
}

FixedRgbaImage BoxDownsample8(const Rgba8Image& image) { return Halve(image.pixels.data(), image.width, image.height); }

bool HasCutOutAlpha8(const Rgba8Image& image) {
  for (size_t i = 3; i < image.pixels.size(); i += 4)
    if (image.pixels[i] < 128) return true;
  return false;
}

bool DecodeBlocks8(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height, Rgba8Image* out) {
  const formats::FormatInfo* info = formats::FindFormat(format);
  if (info == nullptr || !info->compressed || !CanConvert(format) || width == 0 || height == 0 ||
      formats::LevelBytes(format, width, height) > size) {
    return false;
  }
  Rgba8Image image;
  image.width = width;
  image.height = height;
  image.pixels = ByteBuffer(static_cast<size_t>(width) * height * 4);
  const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
  uint8_t pixels[16][4];
  for (UINT by = 0; by < blocksHigh; ++by) {
    for (UINT bx = 0; bx < blocksWide; ++bx, data += info->blockBytes) {
      DecodeBlock(format, data, pixels);
      for (UINT y = 0; y < 4 && by * 4 + y < height; ++y) {
        const UINT columns = std::min<UINT>(4, width - bx * 4);
        std::memcpy(&image.pixels[((static_cast<size_t>(by) * 4 + y) * width + bx * 4) * 4], pixels[y * 4], columns * 4);
      }
    }
  }
  *out = std::move(image);
  return true;
}

Rgba8Image Resample8(const Rgba8Image& image, UINT width, UINT height) {
  Rgba8Image out;
  out.width = width;
  out.height = height;
  out.pixels = ByteBuffer(static_cast<size_t>(width) * height * 4);
  const size_t stride = static_cast<size_t>(image.width) * 4;
  const std::vector<Tap> cols = Taps(image.width, width, 4), rows = Taps(image.height, height, stride);
  const uint8_t* src = image.pixels.data();
  uint8_t* dst = out.pixels.data();
  for (const Tap& r : rows) {
    const uint8_t* row0 = src + r.at0;
    const uint8_t* row1 = src + r.at1;
    const uint64_t wy1 = r.weight1, wy0 = 4096 - wy1;
    for (const Tap& c : cols) {
      const uint32_t wx1 = static_cast<uint32_t>(c.weight1), wx0 = 4096 - wx1;
      const uint8_t *p00 = row0 + c.at0, *p01 = row0 + c.at1, *p10 = row1 + c.at0, *p11 = row1 + c.at1;
      dst[0] = Mix(p00[0], p01[0], p10[0], p11[0], wx0, wx1, wy0, wy1);
      dst[1] = Mix(p00[1], p01[1], p10[1], p11[1], wx0, wx1, wy0, wy1);
      dst[2] = Mix(p00[2], p01[2], p10[2], p11[2], wx0, wx1, wy0, wy1);
      dst[3] = Mix(p00[3], p01[3], p10[3], p11[3], wx0, wx1, wy0, wy1);
      dst += 4;
    }
  }
  return out;
}

void SwizzleToBgra(D3DFORMAT format, Rgba8Image* image) {
  const uint8_t alphaMask = format == D3DFMT_X8R8G8B8 ? 0xFF : 0x00;
  uint8_t* p = image->pixels.data();
  const size_t count = static_cast<size_t>(image->width) * image->height;
  for (size_t i = 0; i < count; ++i, p += 4) {
    const uint8_t r = p[0];
    p[0] = p[2];
    p[2] = r;
    p[3] = static_cast<uint8_t>(p[3] | alphaMask);
  }
}

ByteBuffer::ByteBuffer(size_t size) : m_bytes(static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1))), m_size(size) {
  if (!m_bytes) throw std::bad_alloc();
}

void ByteBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

}  // namespace d3dx
