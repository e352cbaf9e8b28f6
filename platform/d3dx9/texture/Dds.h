// DDS files: a pure parser over the file's bytes (no device). It reads the
// legacy header (pixel format by FourCC, a D3DFORMAT number in the FourCC
// field, or bit count and masks, as D3DX does) and the DX10 header (the DXGI
// formats that formats::kDxgiFormats loads), and hands back the format, the
// size and a pointer into the input for every level of the first 2D image:
// the first face of a cube map, the first slice of each level of a volume,
// the first element of an array, as D3DXCreateTextureFromFile does.
// Every size is checked against the input's length before it is used.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>

namespace d3dx {

// The longest mip chain of the largest texture (formats::kMaxTextureSize).
constexpr UINT kMaxLevels = 15;

constexpr uint32_t kDdsMagic = 0x20534444;  // "DDS "
constexpr size_t kDdsHeaderSize = 124;
constexpr size_t kDdsDataOffset = 4 + kDdsHeaderSize;
constexpr size_t kDdsDx10HeaderSize = 20;

struct DdsLevel {
  const uint8_t* data;  // into the parsed input
  size_t size;
  UINT width;
  UINT height;
};

struct DdsImage {
  D3DFORMAT format;      // the file's format (formats::FormatInfo::loadAs says what is created)
  D3DRESOURCETYPE type;  // D3DRTYPE_TEXTURE, D3DRTYPE_CUBETEXTURE or D3DRTYPE_VOLUMETEXTURE
  UINT width;
  UINT height;
  UINT levelCount;  // levels of the first image, 1..kMaxLevels
  DdsLevel levels[kMaxLevels];
  UINT dxgiFormat;   // from a DX10 header, else 0
  UINT failedLevel;  // DdsError::Truncated: the first level that does not fit
};

enum class DdsError {
  None,
  TooShort,           // shorter than the magic and the header(s)
  BadMagic,
  BadHeaderSize,      // header or pixel-format size field wrong
  BadDimensions,      // width, height or depth 0 or above formats::kMaxTextureSize
  NotTexture2D,       // a cube map without faces, or a DX10 resource that is no texture
  UnsupportedFormat,  // a legacy pixel format the loader does not know
  UnsupportedDxgi,    // a DXGI format the loader does not read (dxgiFormat says which)
  Truncated,          // the file is shorter than its faces and levels (failedLevel says where)
};

// True when the bytes begin with the DDS magic (the loader then parses them
// as DDS and nothing else).
bool IsDds(const void* data, size_t size);

// Parses `data`; fills `out` (pointers into `data`) on DdsError::None, and
// only its dxgiFormat or failedLevel on the errors that name them.
// A mip count of 0 means one level; a count beyond the full chain of the
// top level's size is clamped to the full chain.
DdsError ParseDds(const void* data, size_t size, DdsImage* out);

const char* DdsErrorText(DdsError error);

}  // namespace d3dx
