#include "Pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "LittleEndian.h"
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

}  // namespace

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
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      DecodeColorBlock(block + 8, false, out);
      DecodeInterpolatedAlpha(block, out);
      break;
    default: {  // ATI1, BC4: one channel; ATI2, BC5: two, red first
      const bool two = format == formats::kFormatAti2 || format == formats::kFormatBc5;
      uint8_t channel[16][4];
      DecodeInterpolatedAlpha(block, channel);
      for (int i = 0; i < 16; ++i) {
        out[i][0] = channel[i][3];
        out[i][1] = out[i][2] = 0;
        out[i][3] = 255;
      }
      if (two) {
        DecodeInterpolatedAlpha(block + 8, channel);
        for (int i = 0; i < 16; ++i) out[i][1] = channel[i][3];
      }
      break;
    }
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
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      stb_compress_dxt_block(block, src, 1, STB_DXT_HIGHQUAL);
      break;
    default: {  // ATI1, BC4, ATI2, BC5
      unsigned char channels[16][2];
      for (int i = 0; i < 16; ++i) {
        channels[i][0] = in[i][0];
        channels[i][1] = in[i][1];
      }
      if (format == formats::kFormatAti2 || format == formats::kFormatBc5) {
        stb_compress_bc5_block(block, &channels[0][0]);
      } else {
        unsigned char red[16];
        for (int i = 0; i < 16; ++i) red[i] = in[i][0];
        stb_compress_bc4_block(block, red);
      }
      break;
    }
  }
}

namespace {

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::min(255.0f, std::max(0.0f, v * 255.0f + 0.5f))); }

using formats::ReadLe;

void WriteLe(uint8_t* p, UINT bytes, uint32_t v) {
  for (UINT i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

float HalfToFloat(uint16_t h) {
  const uint32_t sign = static_cast<uint32_t>(h & 0x8000) << 16;
  const uint32_t exponent = (h >> 10) & 31, mantissa = h & 1023;
  float magnitude;
  if (exponent == 0) {
    magnitude = std::ldexp(static_cast<float>(mantissa), -24);
  } else if (exponent == 31) {
    magnitude = mantissa != 0 ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
  } else {
    magnitude = std::ldexp(static_cast<float>(mantissa | 1024), static_cast<int>(exponent) - 25);
  }
  return sign != 0 ? -magnitude : magnitude;
}

uint16_t FloatToHalf(float f) {
  const uint16_t sign = std::signbit(f) ? 0x8000 : 0;
  f = std::fabs(f);
  if (std::isnan(f)) return static_cast<uint16_t>(sign | 0x7e00);
  if (f >= 65520.0f) return static_cast<uint16_t>(sign | 0x7c00);
  if (f < std::ldexp(1.0f, -14)) return static_cast<uint16_t>(sign | static_cast<uint16_t>(std::nearbyint(f * std::ldexp(1.0f, 24))));
  int exponent;
  const float m = std::frexp(f, &exponent);  // f = m * 2^exponent, m in [0.5, 1)
  uint32_t mantissa = static_cast<uint32_t>(std::nearbyint(m * 2048.0f));  // 11 bits with the leading one
  if (mantissa == 2048) {
    mantissa = 1024;
    ++exponent;
  }
  return static_cast<uint16_t>(sign | static_cast<uint32_t>(exponent + 14) << 10 | (mantissa & 1023));
}

// The storage masks of a packed or signed format: those a DDS header names
// it by, except that the 10:10:10:2 formats keep their true layout.
formats::DdsMasks StorageMasks(const formats::FormatInfo& info) {
  formats::DdsMasks m = info.ddsMasks;
  if (info.format == D3DFMT_A2B10G10R10 || info.format == D3DFMT_A2R10G10B10) std::swap(m.r, m.b);
  return m;
}

struct Field {
  UINT shift = 0;
  uint32_t max = 0;  // 0: absent
};

Field FieldOf(uint32_t mask) {
  Field f;
  if (mask == 0) return f;
  f.shift = static_cast<UINT>(__builtin_ctz(mask));
  f.max = mask >> f.shift;
  return f;
}

void DecodePixel(const formats::FormatInfo& info, const uint8_t* src, float* p) {
  using formats::Layout;
  switch (info.layout) {
    case Layout::Packed:
    case Layout::Signed: {
      const formats::DdsMasks m = StorageMasks(info);
      const uint32_t v = ReadLe(src, info.blockBytes);
      const uint32_t masks[4] = {m.r, m.g, m.b, m.a};
      for (int c = 0; c < 4; ++c) {
        const Field f = FieldOf(masks[c]);
        if (f.max == 0) {
          p[c] = c == 3 ? 1.0f : 0.0f;
        } else if (info.layout == Layout::Packed) {
          p[c] = static_cast<float>((v >> f.shift) & f.max) / static_cast<float>(f.max);
        } else {
          const uint32_t raw = (v >> f.shift) & f.max, half = (f.max >> 1) + 1;
          const float value = static_cast<float>(static_cast<int64_t>(raw) - (raw >= half ? 2 * static_cast<int64_t>(half) : 0));
          p[c] = std::max(-1.0f, value / static_cast<float>(half - 1));
        }
      }
      if (info.dds == formats::DdsNaming::Luminance) p[1] = p[2] = p[0];
      break;
    }
    default: {  // Unorm16, Half, Float: channels in R, G, B, A order
      for (UINT c = 0; c < 4; ++c) {
        if (c >= info.channels) {
          p[c] = c == 3 ? 1.0f : 0.0f;
        } else if (info.layout == Layout::Unorm16) {
          p[c] = static_cast<float>(ReadLe(src + 2 * c, 2)) / 65535.0f;
        } else if (info.layout == Layout::Half) {
          p[c] = HalfToFloat(static_cast<uint16_t>(ReadLe(src + 2 * c, 2)));
        } else {
          std::memcpy(&p[c], src + 4 * c, 4);
        }
      }
      break;
    }
  }
}

void EncodePixel(const formats::FormatInfo& info, const float* p, uint8_t* dst) {
  using formats::Layout;
  switch (info.layout) {
    case Layout::Packed:
    case Layout::Signed: {
      const formats::DdsMasks m = StorageMasks(info);
      const uint32_t masks[4] = {m.r, m.g, m.b, m.a};
      uint32_t v = 0;
      for (int c = 0; c < 4; ++c) {
        const Field f = FieldOf(masks[c]);
        if (f.max == 0) continue;
        uint32_t raw;
        if (info.layout == Layout::Packed) {
          raw = static_cast<uint32_t>(std::min(1.0f, std::max(0.0f, p[c])) * static_cast<float>(f.max) + 0.5f);
        } else {
          const float scale = static_cast<float>(f.max >> 1);
          raw = static_cast<uint32_t>(static_cast<int32_t>(std::nearbyint(std::min(1.0f, std::max(-1.0f, p[c])) * scale))) & f.max;
        }
        v |= raw << f.shift;
      }
      // Bits no channel uses (the X of X8R8G8B8) are written as ones.
      if (info.layout == Layout::Packed) {
        const uint32_t all = info.blockBytes >= 4 ? 0xffffffffu : (1u << (8 * info.blockBytes)) - 1;
        v |= all & ~(m.r | m.g | m.b | m.a);
      }
      WriteLe(dst, info.blockBytes, v);
      break;
    }
    default:
      for (UINT c = 0; c < info.channels; ++c) {
        if (info.layout == Layout::Unorm16) {
          WriteLe(dst + 2 * c, 2, static_cast<uint32_t>(std::min(1.0f, std::max(0.0f, p[c])) * 65535.0f + 0.5f));
        } else if (info.layout == Layout::Half) {
          WriteLe(dst + 2 * c, 2, FloatToHalf(p[c]));
        } else {
          std::memcpy(dst + 4 * c, &p[c], 4);
        }
      }
      break;
  }
}

}  // namespace

bool CanConvert(D3DFORMAT format) { return formats::FindFormat(format) != nullptr && format != formats::kFormatBc7; }

bool DecodeLevel(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height, RgbaImage* out) {
  const uint64_t need = formats::LevelBytes(format, width, height);
  if (!CanConvert(format) || need == 0 || need > size || width == 0 || height == 0 ||
      static_cast<uint64_t>(width) * height > kMaxDecodedPixels) {
    return false;
  }
  const formats::FormatInfo& info = *formats::FindFormat(format);
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height * 4);
  float* dst = image.pixels.data();

  if (info.compressed) {
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    uint8_t pixels[16][4];
    for (UINT by = 0; by < blocksHigh; ++by) {
      for (UINT bx = 0; bx < blocksWide; ++bx) {
        DecodeBlock(format, data + (static_cast<size_t>(by) * blocksWide + bx) * info.blockBytes, pixels);
        for (UINT y = 0; y < 4 && by * 4 + y < height; ++y) {
          for (UINT x = 0; x < 4 && bx * 4 + x < width; ++x) {
            float* p = dst + ((static_cast<size_t>(by) * 4 + y) * width + bx * 4 + x) * 4;
            for (int c = 0; c < 4; ++c) p[c] = static_cast<float>(pixels[y * 4 + x][c]) / 255.0f;
          }
        }
      }
    }
  } else if (format == D3DFMT_A32B32G32R32F) {  // the storage is float RGBA
    std::memcpy(dst, data, image.pixels.size() * sizeof(float));
  } else {
    const size_t pixelCount = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < pixelCount; ++i) DecodePixel(info, data + i * info.blockBytes, dst + i * 4);
  }
  *out = std::move(image);
  return true;
}

std::vector<uint8_t> EncodeLevel(D3DFORMAT format, const RgbaImage& image) {
  const UINT width = image.width, height = image.height;
  if (!CanConvert(format)) return {};
  const formats::FormatInfo& info = *formats::FindFormat(format);
  std::vector<uint8_t> bytes(static_cast<size_t>(formats::LevelBytes(format, width, height)));
  const float* src = image.pixels.data();
  if (info.compressed) {
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    uint8_t pixels[16][4];
    for (UINT by = 0; by < blocksHigh; ++by) {
      for (UINT bx = 0; bx < blocksWide; ++bx) {
        for (UINT y = 0; y < 4; ++y) {
          for (UINT x = 0; x < 4; ++x) {
            const size_t sx = std::min(bx * 4 + x, width - 1), sy = std::min(by * 4 + y, height - 1);
            for (int c = 0; c < 4; ++c) pixels[y * 4 + x][c] = ToByte(src[(sy * width + sx) * 4 + c]);
          }
        }
        EncodeBlock(format, pixels, bytes.data() + (static_cast<size_t>(by) * blocksWide + bx) * info.blockBytes);
      }
    }
    return bytes;
  }
  if (format == D3DFMT_A32B32G32R32F) {
    std::memcpy(bytes.data(), src, bytes.size());
    return bytes;
  }
  const size_t pixelCount = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < pixelCount; ++i) EncodePixel(info, src + i * 4, bytes.data() + i * info.blockBytes);
  return bytes;
}

bool HasCutOutAlpha(const RgbaImage& image) {
  for (size_t i = 3; i < image.pixels.size(); i += 4)
    if (image.pixels[i] < 0.5f) return true;
  return false;
}

RgbaImage BoxDownsample(const RgbaImage& image) {
  RgbaImage next;
  next.width = std::max<UINT>(1, image.width / 2);
  next.height = std::max<UINT>(1, image.height / 2);
  next.pixels.resize(static_cast<size_t>(next.width) * next.height * 4);
  const UINT sx = image.width > 1 ? 2 : 1, sy = image.height > 1 ? 2 : 1;
  const unsigned count = sx * sy;
  if (count == 4) {  // the same sums, in the same order, as below
    const size_t stride = static_cast<size_t>(image.width) * 4;
    float* out = next.pixels.data();
    for (UINT y = 0; y < next.height; ++y) {
      const float* p = image.pixels.data() + static_cast<size_t>(y) * 2 * stride;
      const float* q = p + stride;
      for (UINT x = 0; x < next.width; ++x, p += 8, q += 8, out += 4) {
        for (int c = 0; c < 4; ++c) out[c] = (p[c] + p[c + 4] + q[c] + q[c + 4]) / 4.0f;
      }
    }
    return next;
  }
  for (UINT y = 0; y < next.height; ++y) {
    for (UINT x = 0; x < next.width; ++x) {
      for (int c = 0; c < 4; ++c) {
        float sum = 0.0f;
        for (UINT dy = 0; dy < sy; ++dy) {
          for (UINT dx = 0; dx < sx; ++dx) {
            sum += image.pixels[((static_cast<size_t>(y) * sy + dy) * image.width + x * sx + dx) * 4 + c];
          }
        }
        next.pixels[(static_cast<size_t>(y) * next.width + x) * 4 + c] = sum / static_cast<float>(count);
      }
    }
  }
  return next;
}

std::vector<ResampleTap> ResampleTaps(UINT src, UINT dst) {
  std::vector<ResampleTap> result(dst);
  const float scale = static_cast<float>(src) / static_cast<float>(dst);
  for (UINT i = 0; i < dst; ++i) {
    float s = (static_cast<float>(i) + 0.5f) * scale - 0.5f;
    s = std::min(std::max(s, 0.0f), static_cast<float>(src - 1));
    const UINT i0 = static_cast<UINT>(s);
    result[i] = ResampleTap{i0, std::min(i0 + 1, src - 1), s - static_cast<float>(i0)};
  }
  return result;
}

RgbaImage Resample(const RgbaImage& image, UINT width, UINT height) {
  RgbaImage out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height * 4);
  const std::vector<ResampleTap> cols = ResampleTaps(image.width, width), rows = ResampleTaps(image.height, height);
  const float* src = image.pixels.data();
  for (UINT y = 0; y < height; ++y) {
    const ResampleTap& r = rows[y];
    for (UINT x = 0; x < width; ++x) {
      const ResampleTap& c = cols[x];
      for (int k = 0; k < 4; ++k) {
        const float p00 = src[(static_cast<size_t>(r.i0) * image.width + c.i0) * 4 + k];
        const float p01 = src[(static_cast<size_t>(r.i0) * image.width + c.i1) * 4 + k];
        const float p10 = src[(static_cast<size_t>(r.i1) * image.width + c.i0) * 4 + k];
        const float p11 = src[(static_cast<size_t>(r.i1) * image.width + c.i1) * 4 + k];
        const float top = p00 + (p01 - p00) * c.t, bottom = p10 + (p11 - p10) * c.t;
        const float v = top + (bottom - top) * r.t;
        out.pixels[(static_cast<size_t>(y) * width + x) * 4 + k] = v;
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
