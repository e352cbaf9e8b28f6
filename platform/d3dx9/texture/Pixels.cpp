#include "Pixels.h"

#include <algorithm>
#include <cstring>

#include "TextureLayout.h"

#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

namespace d3dx {

namespace formats = ostrevin::formats;

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Expand565(uint16_t c, uint8_t rgb[3]) {
  const unsigned r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  rgb[0] = static_cast<uint8_t>(r << 3 | r >> 2);
  rgb[1] = static_cast<uint8_t>(g << 2 | g >> 4);
  rgb[2] = static_cast<uint8_t>(b << 3 | b >> 2);
}

// Colour part of a DXT block into 16 RGBA pixels. `dxt1` allows the
// three-colour mode with transparent black (DXT2..5 always use four colours).
void DecodeColorBlock(const uint8_t* block, bool dxt1, uint8_t out[16][4]) {
  const uint16_t c0 = Read16(block), c1 = Read16(block + 2);
  uint8_t palette[4][4];
  Expand565(c0, palette[0]);
  Expand565(c1, palette[1]);
  palette[0][3] = palette[1][3] = 255;
  if (!dxt1 || c0 > c1) {
    for (int k = 0; k < 3; ++k) {
      palette[2][k] = static_cast<uint8_t>((2 * palette[0][k] + palette[1][k] + 1) / 3);
      palette[3][k] = static_cast<uint8_t>((palette[0][k] + 2 * palette[1][k] + 1) / 3);
    }
    palette[2][3] = palette[3][3] = 255;
  } else {
    for (int k = 0; k < 3; ++k) palette[2][k] = static_cast<uint8_t>((palette[0][k] + palette[1][k]) / 2);
    palette[2][3] = 255;
    palette[3][0] = palette[3][1] = palette[3][2] = palette[3][3] = 0;
  }
  const uint32_t indices = static_cast<uint32_t>(block[4]) | static_cast<uint32_t>(block[5]) << 8 |
                           static_cast<uint32_t>(block[6]) << 16 | static_cast<uint32_t>(block[7]) << 24;
  for (int i = 0; i < 16; ++i) std::memcpy(out[i], palette[(indices >> (2 * i)) & 3], 4);
}

void DecodeExplicitAlpha(const uint8_t* block, uint8_t out[16][4]) {
  for (int i = 0; i < 16; ++i) {
    const unsigned nibble = (block[i / 2] >> (4 * (i & 1))) & 15;
    out[i][3] = static_cast<uint8_t>(nibble * 17);
  }
}

void DecodeInterpolatedAlpha(const uint8_t* block, uint8_t out[16][4]) {
  const unsigned a0 = block[0], a1 = block[1];
  unsigned palette[8] = {a0, a1};
  if (a0 > a1) {
    for (unsigned k = 1; k < 7; ++k) palette[k + 1] = ((7 - k) * a0 + k * a1 + 3) / 7;
  } else {
    for (unsigned k = 1; k < 5; ++k) palette[k + 1] = ((5 - k) * a0 + k * a1 + 2) / 5;
    palette[6] = 0;
    palette[7] = 255;
  }
  uint64_t bits = 0;
  for (int k = 0; k < 6; ++k) bits |= static_cast<uint64_t>(block[2 + k]) << (8 * k);
  for (int i = 0; i < 16; ++i) out[i][3] = static_cast<uint8_t>(palette[(bits >> (3 * i)) & 7]);
}

void DecodeBlock(D3DFORMAT format, const uint8_t* block, uint8_t out[16][4]) {
  switch (format) {
    case D3DFMT_DXT1:
      DecodeColorBlock(block, true, out);
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      DecodeColorBlock(block + 8, false, out);
      DecodeExplicitAlpha(block, out);
      break;
    default:  // DXT4, DXT5
      DecodeColorBlock(block + 8, false, out);
      DecodeInterpolatedAlpha(block, out);
      break;
  }
}

void EncodeBlock(D3DFORMAT format, const uint8_t in[16][4], uint8_t* block) {
  const unsigned char* src = &in[0][0];
  switch (format) {
    case D3DFMT_DXT1:
      stb_compress_dxt_block(block, src, 0, STB_DXT_HIGHQUAL);
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      for (int i = 0; i < 8; ++i) {
        const unsigned lo = (in[2 * i][3] * 15u + 127) / 255, hi = (in[2 * i + 1][3] * 15u + 127) / 255;
        block[i] = static_cast<uint8_t>(lo | hi << 4);
      }
      stb_compress_dxt_block(block + 8, src, 0, STB_DXT_HIGHQUAL);
      break;
    default:  // DXT4, DXT5
      stb_compress_dxt_block(block, src, 1, STB_DXT_HIGHQUAL);
      break;
  }
}

uint8_t To5(uint8_t v) { return static_cast<uint8_t>((v * 31u + 127) / 255); }
uint8_t To6(uint8_t v) { return static_cast<uint8_t>((v * 63u + 127) / 255); }

}  // namespace

bool DecodeLevel(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height, RgbaImage* out) {
  const uint64_t need = formats::LevelBytes(format, width, height);
  if (need == 0 || need > size || width == 0 || height == 0) return false;
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height * 4);
  uint8_t* dst = image.pixels.data();
  const size_t pixelCount = static_cast<size_t>(width) * height;

  if (formats::IsCompressed(format)) {
    const size_t blockBytes = formats::FindFormat(format)->blockBytes;
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    uint8_t pixels[16][4];
    for (UINT by = 0; by < blocksHigh; ++by) {
      for (UINT bx = 0; bx < blocksWide; ++bx) {
        DecodeBlock(format, data + (static_cast<size_t>(by) * blocksWide + bx) * blockBytes, pixels);
        for (UINT y = 0; y < 4 && by * 4 + y < height; ++y) {
          for (UINT x = 0; x < 4 && bx * 4 + x < width; ++x) {
            std::memcpy(dst + ((static_cast<size_t>(by) * 4 + y) * width + bx * 4 + x) * 4, pixels[y * 4 + x], 4);
          }
        }
      }
    }
  } else {
    for (size_t i = 0; i < pixelCount; ++i) {
      uint8_t* p = dst + i * 4;
      switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8: {
          const uint8_t* s = data + i * 4;  // B, G, R, A in memory
          p[0] = s[2];
          p[1] = s[1];
          p[2] = s[0];
          p[3] = format == D3DFMT_A8R8G8B8 ? s[3] : 255;
          break;
        }
        case D3DFMT_R5G6B5:
          Expand565(Read16(data + i * 2), p);
          p[3] = 255;
          break;
        case D3DFMT_A8:
          p[0] = p[1] = p[2] = 0;
          p[3] = data[i];
          break;
        default:
          return false;
      }
    }
  }
  *out = std::move(image);
  return true;
}

std::vector<uint8_t> EncodeLevel(D3DFORMAT format, const RgbaImage& image) {
  const UINT width = image.width, height = image.height;
  std::vector<uint8_t> bytes(static_cast<size_t>(formats::LevelBytes(format, width, height)));
  const uint8_t* src = image.pixels.data();
  if (formats::IsCompressed(format)) {
    const size_t blockBytes = formats::FindFormat(format)->blockBytes;
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    uint8_t pixels[16][4];
    for (UINT by = 0; by < blocksHigh; ++by) {
      for (UINT bx = 0; bx < blocksWide; ++bx) {
        for (UINT y = 0; y < 4; ++y) {
          for (UINT x = 0; x < 4; ++x) {
            const size_t sx = std::min(bx * 4 + x, width - 1), sy = std::min(by * 4 + y, height - 1);
            std::memcpy(pixels[y * 4 + x], src + (sy * width + sx) * 4, 4);
          }
        }
        EncodeBlock(format, pixels, bytes.data() + (static_cast<size_t>(by) * blocksWide + bx) * blockBytes);
      }
    }
    return bytes;
  }
  const size_t pixelCount = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < pixelCount; ++i) {
    const uint8_t* p = src + i * 4;
    switch (format) {
      case D3DFMT_A8R8G8B8:
      case D3DFMT_X8R8G8B8: {
        uint8_t* d = bytes.data() + i * 4;
        d[0] = p[2];
        d[1] = p[1];
        d[2] = p[0];
        d[3] = format == D3DFMT_A8R8G8B8 ? p[3] : 255;
        break;
      }
      case D3DFMT_R5G6B5: {
        const unsigned c = static_cast<unsigned>(To5(p[0])) << 11 | static_cast<unsigned>(To6(p[1])) << 5 | To5(p[2]);
        bytes[i * 2] = static_cast<uint8_t>(c);
        bytes[i * 2 + 1] = static_cast<uint8_t>(c >> 8);
        break;
      }
      case D3DFMT_A8:
        bytes[i] = p[3];
        break;
      default:
        break;
    }
  }
  return bytes;
}

RgbaImage BoxDownsample(const RgbaImage& image) {
  RgbaImage next;
  next.width = std::max<UINT>(1, image.width / 2);
  next.height = std::max<UINT>(1, image.height / 2);
  next.pixels.resize(static_cast<size_t>(next.width) * next.height * 4);
  const UINT sx = image.width > 1 ? 2 : 1, sy = image.height > 1 ? 2 : 1;
  const unsigned count = sx * sy;
  for (UINT y = 0; y < next.height; ++y) {
    for (UINT x = 0; x < next.width; ++x) {
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (UINT dy = 0; dy < sy; ++dy) {
          for (UINT dx = 0; dx < sx; ++dx) {
            sum += image.pixels[((static_cast<size_t>(y) * sy + dy) * image.width + x * sx + dx) * 4 + c];
          }
        }
        next.pixels[(static_cast<size_t>(y) * next.width + x) * 4 + c] = static_cast<uint8_t>((sum + count / 2) / count);
      }
    }
  }
  return next;
}

RgbaImage Resample(const RgbaImage& image, UINT width, UINT height) {
  RgbaImage out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height * 4);
  // Source coordinate and weight of each destination column and row.
  struct Tap {
    UINT i0, i1;
    float t;
  };
  auto taps = [](UINT src, UINT dst) {
    std::vector<Tap> result(dst);
    const float scale = static_cast<float>(src) / static_cast<float>(dst);
    for (UINT i = 0; i < dst; ++i) {
      float s = (static_cast<float>(i) + 0.5f) * scale - 0.5f;
      s = std::min(std::max(s, 0.0f), static_cast<float>(src - 1));
      const UINT i0 = static_cast<UINT>(s);
      result[i] = Tap{i0, std::min(i0 + 1, src - 1), s - static_cast<float>(i0)};
    }
    return result;
  };
  const std::vector<Tap> cols = taps(image.width, width), rows = taps(image.height, height);
  const uint8_t* src = image.pixels.data();
  for (UINT y = 0; y < height; ++y) {
    const Tap& r = rows[y];
    for (UINT x = 0; x < width; ++x) {
      const Tap& c = cols[x];
      for (int k = 0; k < 4; ++k) {
        const float p00 = src[(static_cast<size_t>(r.i0) * image.width + c.i0) * 4 + k];
        const float p01 = src[(static_cast<size_t>(r.i0) * image.width + c.i1) * 4 + k];
        const float p10 = src[(static_cast<size_t>(r.i1) * image.width + c.i0) * 4 + k];
        const float p11 = src[(static_cast<size_t>(r.i1) * image.width + c.i1) * 4 + k];
        const float top = p00 + (p01 - p00) * c.t, bottom = p10 + (p11 - p10) * c.t;
        const float v = top + (bottom - top) * r.t;
        out.pixels[(static_cast<size_t>(y) * width + x) * 4 + k] = static_cast<uint8_t>(std::min(255.0f, v + 0.5f));
      }
    }
  }
  return out;
}

UINT NextPowerOfTwo(UINT n) {
  UINT p = 1;
  while (p < n) p <<= 1;
  return p;
}

}  // namespace d3dx
