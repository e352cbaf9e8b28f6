#include "Dds.h"

#include <algorithm>
#include <cstring>

namespace d3dx {
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
  const uint32_t flags = Read32(file + kOffPfFlags);
  const uint32_t fourCC = Read32(file + kOffFourCC);
  if (flags & DDPF_FOURCC) {
    switch (fourCC) {
      case D3DFMT_DXT1:
      case D3DFMT_DXT2:
      case D3DFMT_DXT3:
      case D3DFMT_DXT4:
      case D3DFMT_DXT5:
        return static_cast<D3DFORMAT>(fourCC);
      // Writers may store a D3DFORMAT number in the FourCC field.
      case D3DFMT_A8R8G8B8:
      case D3DFMT_X8R8G8B8:
      case D3DFMT_R5G6B5:
      case D3DFMT_A8:
        return static_cast<D3DFORMAT>(fourCC);
      default:
        return D3DFMT_UNKNOWN;  // DX10 is refused before this
    }
  }
  const uint32_t bits = Read32(file + kOffBitCount);
  const uint32_t r = Read32(file + kOffRMask);
  const uint32_t g = Read32(file + kOffGMask);
  const uint32_t b = Read32(file + kOffBMask);
  const uint32_t a = Read32(file + kOffAMask);
  if (flags & DDPF_RGB) {
    if (bits == 32 && r == 0x00ff0000 && g == 0x0000ff00 && b == 0x000000ff) {
      if ((flags & DDPF_ALPHAPIXELS) && a == 0xff000000) return D3DFMT_A8R8G8B8;
      if (!(flags & DDPF_ALPHAPIXELS) || a == 0) return D3DFMT_X8R8G8B8;
      return D3DFMT_UNKNOWN;
    }
    if (bits == 16 && r == 0xf800 && g == 0x07e0 && b == 0x001f && (a == 0 || !(flags & DDPF_ALPHAPIXELS))) {
      return D3DFMT_R5G6B5;
    }
    return D3DFMT_UNKNOWN;
  }
  if ((flags & DDPF_ALPHA) && bits == 8 && a == 0xff) return D3DFMT_A8;
  return D3DFMT_UNKNOWN;
}

}  // namespace

bool IsCompressed(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

UINT BitsPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return 32;
    case D3DFMT_R5G6B5:
      return 16;
    case D3DFMT_A8:
      return 8;
    default:
      return 0;
  }
}

uint64_t RowBytes(D3DFORMAT format, UINT width) {
  if (IsCompressed(format)) {
    const uint64_t blocks = std::max<uint64_t>(1, (static_cast<uint64_t>(width) + 3) / 4);
    return blocks * (format == D3DFMT_DXT1 ? 8 : 16);
  }
  return (static_cast<uint64_t>(width) * BitsPerPixel(format) + 7) / 8;
}

UINT RowCount(D3DFORMAT format, UINT height) {
  if (IsCompressed(format)) return std::max<UINT>(1, static_cast<UINT>((static_cast<uint64_t>(height) + 3) / 4));
  return height;
}

uint64_t LevelBytes(D3DFORMAT format, UINT width, UINT height) {
  return RowBytes(format, width) * RowCount(format, height);
}

UINT FullChainLength(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT m = std::max(width, height); m > 1; m >>= 1) ++levels;
  return levels;
}

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
  if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
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
  levels = std::min(std::max<UINT>(levels, 1), FullChainLength(width, height));

  DdsImage image;
  std::memset(&image, 0, sizeof(image));
  image.format = format;
  image.width = width;
  image.height = height;
  image.levelCount = levels;
  uint64_t offset = kDdsDataOffset;
  UINT w = width, h = height;
  for (UINT i = 0; i < levels; ++i) {
    const uint64_t bytes = LevelBytes(format, w, h);
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
