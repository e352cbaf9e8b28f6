#include "Dds.h"

#include <algorithm>
#include <cstring>

#include "TextureLayout.h"

namespace d3dx {

namespace formats = ostrevin::formats;

namespace {

// Header flags, pixel-format flags and caps used by the parser.
constexpr uint32_t DDSD_DEPTH = 0x00800000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x00000001;
constexpr uint32_t DDPF_ALPHA = 0x00000002;
constexpr uint32_t DDPF_FOURCC = 0x00000004;
constexpr uint32_t DDPF_RGB = 0x00000040;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x00000200;
constexpr uint32_t DDSCAPS2_VOLUME = 0x00200000;

// Offsets of the fields, from the start of the file (the magic is at 0).
constexpr size_t kOffSize = 4;
constexpr size_t kOffFlags = 8;
constexpr size_t kOffHeight = 12;
constexpr size_t kOffWidth = 16;
constexpr size_t kOffDepth = 24;
constexpr size_t kOffMipCount = 28;
constexpr size_t kOffPfSize = 76;
constexpr size_t kOffPfFlags = 80;
constexpr size_t kOffFourCC = 84;
constexpr size_t kOffBitCount = 88;
constexpr size_t kOffRMask = 92;
constexpr size_t kOffGMask = 96;
constexpr size_t kOffBMask = 100;
constexpr size_t kOffAMask = 104;
constexpr size_t kOffCaps2 = 112;

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

D3DFORMAT FormatOf(const uint8_t* file) {
  using formats::DdsNaming;
  const uint32_t flags = Read32(file + kOffPfFlags);
  if (flags & DDPF_FOURCC) {
    // DXT FourCCs, or a D3DFORMAT number as some writers store it.
    const formats::FormatInfo* info = formats::FindFormat(static_cast<D3DFORMAT>(Read32(file + kOffFourCC)));
    return info != nullptr && info->dds != DdsNaming::None ? info->format : D3DFMT_UNKNOWN;  // DX10 is refused before this
  }
  const uint32_t bits = Read32(file + kOffBitCount);
  const uint32_t r = Read32(file + kOffRMask);
  const uint32_t g = Read32(file + kOffGMask);
  const uint32_t b = Read32(file + kOffBMask);
  const uint32_t a = Read32(file + kOffAMask);
  const bool alphaPixels = (flags & DDPF_ALPHAPIXELS) != 0;
  for (const formats::FormatInfo& info : formats::kFormats) {
    const formats::DdsMasks& m = info.ddsMasks;
    if (flags & DDPF_RGB) {
      // A format with an alpha mask needs DDPF_ALPHAPIXELS and that mask; one
      // without takes an absent or zero alpha mask.
      if (info.dds == DdsNaming::RgbMasks && bits == m.bitCount && r == m.r && g == m.g && b == m.b &&
          (m.a != 0 ? alphaPixels && a == m.a : !alphaPixels || a == 0))
        return info.format;
    } else if ((flags & DDPF_ALPHA) && info.dds == DdsNaming::AlphaMask && bits == m.bitCount && a == m.a) {
      return info.format;
    }
  }
  return D3DFMT_UNKNOWN;
}

}  // namespace

bool IsDds(const void* data, size_t size) {
  return data != nullptr && size >= 4 && Read32(static_cast<const uint8_t*>(data)) == kDdsMagic;
}

DdsError ParseDds(const void* data, size_t size, DdsImage* out) {
  if (data == nullptr || out == nullptr || size < kDdsDataOffset) return DdsError::TooShort;
  const uint8_t* file = static_cast<const uint8_t*>(data);
  if (Read32(file) != kDdsMagic) return DdsError::BadMagic;
  if (Read32(file + kOffSize) != kDdsHeaderSize || Read32(file + kOffPfSize) != 32) return DdsError::BadHeaderSize;

  const UINT width = Read32(file + kOffWidth);
  const UINT height = Read32(file + kOffHeight);
  if (width == 0 || height == 0 || width > formats::kMaxTextureSize || height > formats::kMaxTextureSize) {
    return DdsError::BadDimensions;
  }
  const uint32_t caps2 = Read32(file + kOffCaps2);
  const uint32_t depth = Read32(file + kOffDepth);
  if ((caps2 & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) != 0 || ((Read32(file + kOffFlags) & DDSD_DEPTH) && depth > 1)) {
    return DdsError::NotTexture2D;
  }
  if ((Read32(file + kOffPfFlags) & DDPF_FOURCC) && Read32(file + kOffFourCC) == MAKEFOURCC('D', 'X', '1', '0')) {
    return DdsError::NotTexture2D;
  }
  const D3DFORMAT format = FormatOf(file);
  if (format == D3DFMT_UNKNOWN) return DdsError::UnsupportedFormat;

  UINT levels = Read32(file + kOffMipCount);
  levels = std::min(std::max<UINT>(levels, 1), formats::FullChainLength(width, height));

  DdsImage image;
  std::memset(&image, 0, sizeof(image));
  image.format = format;
  image.width = width;
  image.height = height;
  image.levelCount = levels;
  uint64_t offset = kDdsDataOffset;
  UINT w = width, h = height;
  for (UINT i = 0; i < levels; ++i) {
    const uint64_t bytes = formats::LevelBytes(format, w, h);
    if (bytes > static_cast<uint64_t>(size) - offset) return DdsError::Truncated;
    image.levels[i] = DdsLevel{file + offset, static_cast<size_t>(bytes), w, h};
    offset += bytes;
    w = std::max<UINT>(1, w / 2);
    h = std::max<UINT>(1, h / 2);
  }
  *out = image;
  return DdsError::None;
}

const char* DdsErrorText(DdsError error) {
  switch (error) {
    case DdsError::None:
      return "no error";
    case DdsError::TooShort:
      return "shorter than a DDS header";
    case DdsError::BadMagic:
      return "not a DDS file";
    case DdsError::BadHeaderSize:
      return "wrong header size";
    case DdsError::BadDimensions:
      return "width or height out of range";
    case DdsError::NotTexture2D:
      return "not a 2D texture (cube map, volume or DX10 header)";
    case DdsError::UnsupportedFormat:
      return "unsupported pixel format";
    case DdsError::Truncated:
      return "file shorter than its levels";
  }
  return "unknown error";
}

}  // namespace d3dx
