#include "Dds.h"

#include <algorithm>
#include <cstring>

#include "DxgiFormats.h"
#include "LittleEndian.h"
#include "TextureLayout.h"

namespace d3dx {

namespace formats = ostrevin::formats;

namespace {

// Pixel-format flags and caps used by the parser.
constexpr uint32_t DDPF_ALPHAPIXELS = 0x00000001;
constexpr uint32_t DDPF_ALPHA = 0x00000002;
constexpr uint32_t DDPF_FOURCC = 0x00000004;
constexpr uint32_t DDPF_RGB = 0x00000040;
constexpr uint32_t DDPF_LUMINANCE = 0x00020000;
constexpr uint32_t DDPF_BUMPDUDV = 0x00080000;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x00000200;
constexpr uint32_t DDSCAPS2_CUBEMAP_FACES = 0x0000fc00;
constexpr uint32_t DDSCAPS2_VOLUME = 0x00200000;

// DX10 header: resource dimensions and the cube flag.
constexpr uint32_t kDimensionTexture1D = 2;
constexpr uint32_t kDimensionTexture2D = 3;
constexpr uint32_t kDimensionTexture3D = 4;
constexpr uint32_t kMiscTextureCube = 0x4;

// Offsets of the fields, from the start of the file (the magic is at 0).
constexpr size_t kOffSize = 4;
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
constexpr size_t kOffDxgiFormat = 128;
constexpr size_t kOffDimension = 132;
constexpr size_t kOffMiscFlag = 136;
constexpr size_t kOffArraySize = 140;

using formats::ReadLe32;

// The legacy pixel format as D3DX reads it: the FourCC field first (a block
// format or any D3DFORMAT number), then the masks under DDPF_RGB,
// DDPF_LUMINANCE, DDPF_ALPHA and DDPF_BUMPDUDV in that order. A format with
// an alpha mask matches only under DDPF_ALPHAPIXELS; one without ignores the
// alpha mask, so the table lists each A format before its X twin.
D3DFORMAT LegacyFormat(const uint8_t* file) {
  using formats::DdsNaming;
  const uint32_t flags = ReadLe32(file + kOffPfFlags);
  if (flags & DDPF_FOURCC) {
    const formats::FormatInfo* info = formats::FindFormatNumber(ReadLe32(file + kOffFourCC));
    return info != nullptr ? info->format : D3DFMT_UNKNOWN;
  }
  DdsNaming naming;
  if (flags & DDPF_RGB) {
    naming = DdsNaming::Rgb;
  } else if (flags & DDPF_LUMINANCE) {
    naming = DdsNaming::Luminance;
  } else if (flags & DDPF_ALPHA) {
    naming = DdsNaming::Alpha;
  } else if (flags & DDPF_BUMPDUDV) {
    naming = DdsNaming::Bump;
  } else {
    return D3DFMT_UNKNOWN;
  }
  const formats::DdsMasks file_masks = {ReadLe32(file + kOffBitCount), ReadLe32(file + kOffRMask), ReadLe32(file + kOffGMask),
                                        ReadLe32(file + kOffBMask), ReadLe32(file + kOffAMask)};
  const bool alphaPixels = (flags & DDPF_ALPHAPIXELS) != 0;
  for (const formats::FormatInfo& info : formats::AllFormats()) {
    const formats::DdsMasks& m = info.ddsMasks;
    if (info.dds != naming || file_masks.bitCount != m.bitCount) continue;
    bool match;
    switch (naming) {
      case DdsNaming::Alpha:
        match = file_masks.a == m.a;
        break;
      case DdsNaming::Bump:
        match = file_masks.r == m.r && file_masks.g == m.g && (m.b == 0 || file_masks.b == m.b) &&
                (m.a == 0 || file_masks.a == m.a);
        break;
      default:  // Rgb, Luminance
        match = file_masks.r == m.r && (naming == DdsNaming::Luminance || (file_masks.g == m.g && file_masks.b == m.b)) &&
                (m.a == 0 || (alphaPixels && file_masks.a == m.a));
        break;
    }
    if (match) return info.format;
  }
  return D3DFMT_UNKNOWN;
}

}  // namespace

bool IsDds(const void* data, size_t size) {
  return data != nullptr && size >= 4 && ReadLe32(static_cast<const uint8_t*>(data)) == kDdsMagic;
}

DdsError ParseDds(const void* data, size_t size, DdsImage* out) {
  if (data == nullptr || out == nullptr || size < kDdsDataOffset) return DdsError::TooShort;
  const uint8_t* file = static_cast<const uint8_t*>(data);
  if (ReadLe32(file) != kDdsMagic) return DdsError::BadMagic;
  if (ReadLe32(file + kOffSize) != kDdsHeaderSize || ReadLe32(file + kOffPfSize) != 32) return DdsError::BadHeaderSize;

  DdsImage image;
  std::memset(&image, 0, sizeof(image));
  image.type = D3DRTYPE_TEXTURE;
  const UINT width = ReadLe32(file + kOffWidth);
  const UINT height = ReadLe32(file + kOffHeight);
  if (width == 0 || height == 0 || width > formats::kMaxTextureSize || height > formats::kMaxTextureSize) {
    return DdsError::BadDimensions;
  }

  // Images stored one after the other (cube faces, array elements), each a
  // chain of levels of `depth` slices at the top.
  uint64_t images = 1;
  UINT depth = 1;
  size_t offset = kDdsDataOffset;
  const uint32_t caps2 = ReadLe32(file + kOffCaps2);
  const bool dx10 = (ReadLe32(file + kOffPfFlags) & DDPF_FOURCC) && ReadLe32(file + kOffFourCC) == MAKEFOURCC('D', 'X', '1', '0');
  if (dx10) {
    if (size < kDdsDataOffset + kDdsDx10HeaderSize) return DdsError::TooShort;
    offset += kDdsDx10HeaderSize;
    image.dxgiFormat = ReadLe32(file + kOffDxgiFormat);
    image.format = image.dxgiFormat < formats::kDxgiFormatCount ? formats::kDxgiFormats[image.dxgiFormat].loadAs
                                                                 : D3DFMT_UNKNOWN;
    if (image.format == D3DFMT_UNKNOWN) {
      out->dxgiFormat = image.dxgiFormat;
      return DdsError::UnsupportedDxgi;
    }
    const uint32_t dimension = ReadLe32(file + kOffDimension);
    images = std::max<uint32_t>(1, ReadLe32(file + kOffArraySize));
    if (dimension == kDimensionTexture3D) {
      image.type = D3DRTYPE_VOLUMETEXTURE;
      depth = ReadLe32(file + kOffDepth);
    } else if (dimension != kDimensionTexture2D && dimension != kDimensionTexture1D) {
      return DdsError::NotTexture2D;
    }
    if (dimension == kDimensionTexture2D && (ReadLe32(file + kOffMiscFlag) & kMiscTextureCube)) {
      image.type = D3DRTYPE_CUBETEXTURE;
      images *= 6;
    }
  } else {
    image.format = LegacyFormat(file);
    if (image.format == D3DFMT_UNKNOWN) return DdsError::UnsupportedFormat;
    if (caps2 & DDSCAPS2_VOLUME) {
      image.type = D3DRTYPE_VOLUMETEXTURE;
      depth = ReadLe32(file + kOffDepth);
    } else if (caps2 & DDSCAPS2_CUBEMAP) {
      image.type = D3DRTYPE_CUBETEXTURE;
      images = static_cast<uint64_t>(__builtin_popcount(caps2 & DDSCAPS2_CUBEMAP_FACES));
      if (images == 0) return DdsError::NotTexture2D;
    }
  }
  if (image.type == D3DRTYPE_VOLUMETEXTURE) {
    depth = std::max<UINT>(depth, 1);
    if (depth > formats::kMaxTextureSize) return DdsError::BadDimensions;
  }

  // The file's levels (of a volume: down to 1x1x1), then those of a 2D
  // texture that the first image fills.
  const UINT fileLevels = std::min(std::max<UINT>(ReadLe32(file + kOffMipCount), 1),
                                   formats::FullChainLength(std::max(width, depth), height));
  image.levelCount = std::min(fileLevels, formats::FullChainLength(width, height));
  image.width = width;
  image.height = height;

  // One image's bytes, its levels recorded on the way; then all images.
  uint64_t imageBytes = 0;
  UINT w = width, h = height, d = depth;
  for (UINT i = 0; i < fileLevels; ++i) {
    const uint64_t bytes = formats::LevelBytes(image.format, w, h);
    if (imageBytes + bytes > static_cast<uint64_t>(size) - offset) {
      out->failedLevel = i;
      return DdsError::Truncated;
    }
    if (i < image.levelCount) image.levels[i] = DdsLevel{file + offset + imageBytes, static_cast<size_t>(bytes), w, h};
    imageBytes += bytes * d;
    w = std::max<UINT>(1, w / 2);
    h = std::max<UINT>(1, h / 2);
    d = std::max<UINT>(1, d / 2);
  }
  const uint64_t available = static_cast<uint64_t>(size) - offset;
  if (imageBytes > available || images > available / imageBytes) {
    // The first image is whole (or its slices are not): find where the
    // data ends within the image it falls in.
    uint64_t rest = available % std::max<uint64_t>(imageBytes, 1);
    if (imageBytes > available) rest = available;
    w = width, h = height, d = depth;
    for (UINT i = 0; i < fileLevels; ++i) {
      const uint64_t bytes = formats::LevelBytes(image.format, w, h) * d;
      if (bytes > rest) {
        out->failedLevel = i;
        break;
      }
      rest -= bytes;
      w = std::max<UINT>(1, w / 2);
      h = std::max<UINT>(1, h / 2);
      d = std::max<UINT>(1, d / 2);
    }
    return DdsError::Truncated;
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
      return "width, height or depth out of range";
    case DdsError::NotTexture2D:
      return "a cube map without faces, or no texture";
    case DdsError::UnsupportedFormat:
      return "unsupported pixel format";
    case DdsError::UnsupportedDxgi:
      return "unsupported DXGI format";
    case DdsError::Truncated:
      return "file shorter than its levels";
  }
  return "unknown error";
}

}  // namespace d3dx
