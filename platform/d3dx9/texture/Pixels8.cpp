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

// Writes the level into `dst`, its rows (or rows of blocks) `pitch` bytes
// apart.
template <typename T>
void EncodePixels(D3DFORMAT format, const T* src, UINT width, UINT height, uint8_t* dst, size_t pitch) {
  const formats::FormatInfo* info = formats::FindFormat(format);
  if (info != nullptr && info->compressed && CanConvert(format)) {
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    uint8_t pixels[16][4];
    for (UINT by = 0; by < blocksHigh; ++by) {
      uint8_t* block = dst + by * pitch;
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
    return;
  }
  const uint8_t alphaMask = format == D3DFMT_X8R8G8B8 ? 0xFF : 0x00;
  for (UINT y = 0; y < height; ++y) {
    const T* p = src + static_cast<size_t>(y) * width * 4;
    uint8_t* q = dst + y * pitch;
    switch (format) {
      case D3DFMT_L8:
        for (UINT x = 0; x < width; ++x, p += 4) q[x] = Round(p[0]);
        break;
      case D3DFMT_A8L8:
        for (UINT x = 0; x < width; ++x, p += 4, q += 2) {
          q[0] = Round(p[0]);
          q[1] = Round(p[3]);
        }
        break;
      case D3DFMT_X8R8G8B8:
      case D3DFMT_A8R8G8B8:  // B, G, R, A in memory; the X of X8R8G8B8 written as ones
        for (UINT x = 0; x < width; ++x, p += 4, q += 4) {
          q[0] = Round(p[2]);
          q[1] = Round(p[1]);
          q[2] = Round(p[0]);
          q[3] = static_cast<uint8_t>(Round(p[3]) | alphaMask);
        }
        break;
      default:
        return;
    }
  }
}

// The next level of `height` rows of `width` pixels, rows `stride` samples
// apart, into `out` (Half(width) x Half(height) pixels, no padding). With
// `Swap` the source is in B, G, R, A order and the result in R, G, B, A.
template <bool Swap, typename T>
void HalveInto(const T* src, UINT width, UINT height, size_t stride, uint16_t* out) {
  constexpr int kR = Swap ? 2 : 0, kB = Swap ? 0 : 2;
  const UINT outWidth = std::max<UINT>(1, width / 2), outHeight = std::max<UINT>(1, height / 2);
  if (width > 1 && height > 1) {
    for (UINT y = 0; y < outHeight; ++y) {
      const T* p = src + static_cast<size_t>(y) * 2 * stride;
      const T* q = p + stride;
      for (UINT x = 0; x < outWidth; ++x, p += 8, q += 8, out += 4) {
        out[0] = Average4(unsigned{p[kR]} + p[kR + 4] + q[kR] + q[kR + 4], src);
        out[1] = Average4(unsigned{p[1]} + p[5] + q[1] + q[5], src);
        out[2] = Average4(unsigned{p[kB]} + p[kB + 4] + q[kB] + q[kB + 4], src);
        out[3] = Average4(unsigned{p[3]} + p[7] + q[3] + q[7], src);
      }
    }
    return;
  }
  // One pixel wide or high: pairs along the other dimension (a 1x1 image
  // is its own average).
  const size_t step = width > 1 ? 4 : height > 1 ? stride : 0;
  const size_t count = static_cast<size_t>(outWidth) * outHeight;
  static constexpr int kFrom[4] = {kR, 1, kB, 3};
  for (size_t i = 0; i < count; ++i, out += 4) {
    const T* p = src + i * 2 * step;
    const T* q = p + step;
    for (int c = 0; c < 4; ++c) out[c] = Average2(unsigned{p[kFrom[c]]} + q[kFrom[c]], src);
  }
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

void Encode8(D3DFORMAT format, const Rgba8Image& image, uint8_t* dst, size_t pitch) {
  EncodePixels(format, image.pixels.data(), image.width, image.height, dst, pitch);
}

void EncodeRows(D3DFORMAT format, const uint16_t* rows, UINT width, UINT height, uint8_t* dst, size_t pitch) {
  EncodePixels(format, rows, width, height, dst, pitch);
}

void EncodeRows(D3DFORMAT format, const uint8_t* rows, UINT width, UINT height, uint8_t* dst, size_t pitch) {
  EncodePixels(format, rows, width, height, dst, pitch);
}

void BoxDownsampleRows(const uint8_t* src, UINT width, UINT height, size_t stride, bool bgra, uint16_t* out) {
  if (bgra) {
    HalveInto<true>(src, width, height, stride, out);
  } else {
    HalveInto<false>(src, width, height, stride, out);
  }
}

void BoxDownsampleRows(const uint16_t* src, UINT width, UINT height, size_t stride, uint16_t* out) {
  HalveInto<false>(src, width, height, stride, out);
}

bool DecodeBlockRow8(D3DFORMAT format, const uint8_t* blocks, UINT width, UINT rows, uint8_t* out) {
  const formats::FormatInfo* info = formats::FindFormat(format);
  if (info == nullptr || !info->compressed || !CanConvert(format) || width == 0 || rows == 0 || rows > 4) return false;
  const UINT blocksWide = (width + 3) / 4;
  uint8_t pixels[16][4];
  for (UINT bx = 0; bx < blocksWide; ++bx, blocks += info->blockBytes) {
    DecodeBlock(format, blocks, pixels);
    const UINT columns = std::min<UINT>(4, width - bx * 4);
    for (UINT y = 0; y < rows; ++y)
      std::memcpy(out + (static_cast<size_t>(y) * width + bx * 4) * 4, pixels[y * 4], columns * 4);
  }
  return true;
}

bool HasCutOutAlpha8(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height) {
  if (formats::LevelBytes(format, width, height) > size) return false;
  const formats::FormatInfo* info = formats::FindFormat(format);
  const size_t blocks = static_cast<size_t>((width + 3) / 4) * ((height + 3) / 4);
  uint8_t pixels[16][4];
  for (size_t i = 0; i < blocks; ++i) {
    DecodeBlock(format, data + i * info->blockBytes, pixels);
    // Pixels of edge blocks beyond the level repeat no pixel of it.
    const UINT bx = static_cast<UINT>(i % ((width + 3) / 4)) * 4, by = static_cast<UINT>(i / ((width + 3) / 4)) * 4;
    for (UINT y = 0; y < 4 && by + y < height; ++y)
      for (UINT x = 0; x < 4 && bx + x < width; ++x)
        if (pixels[y * 4 + x][3] < 128) return true;
  }
  return false;
}

Rgba8Image Resample8(const Rgba8Image& image, UINT width, UINT height) {
  Rgba8Image out;
  out.width = width;
  out.height = height;
  out.pixels = ByteBuffer(static_cast<size_t>(width) * height * 4);
  Resample8(image, width, height, out.pixels.data(), static_cast<size_t>(width) * 4);
  return out;
}

void Resample8(const Rgba8Image& image, UINT width, UINT height, uint8_t* out, size_t pitch) {
  const size_t stride = static_cast<size_t>(image.width) * 4;
  const std::vector<Tap> cols = Taps(image.width, width, 4), rows = Taps(image.height, height, stride);
  const uint8_t* src = image.pixels.data();
  for (UINT y = 0; y < height; ++y) {
    const Tap& r = rows[y];
    uint8_t* dst = out + y * pitch;
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
}

void SwizzleToBgra(D3DFORMAT format, uint8_t* pixels, UINT width, UINT height, size_t pitch) {
  const uint8_t alphaMask = format == D3DFMT_X8R8G8B8 ? 0xFF : 0x00;
  for (UINT y = 0; y < height; ++y) {
    uint8_t* p = pixels + y * pitch;
    for (UINT x = 0; x < width; ++x, p += 4) {
      const uint8_t r = p[0];
      p[0] = p[2];
      p[2] = r;
      p[3] = static_cast<uint8_t>(p[3] | alphaMask);
    }
  }
}

ByteBuffer::ByteBuffer(size_t size) : m_bytes(static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1))), m_size(size) {
  if (!m_bytes) throw std::bad_alloc();
}

void ByteBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

}  // namespace d3dx
