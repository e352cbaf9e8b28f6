// DDS files: a pure parser over the file's bytes (no device). It accepts 2D
// textures in the formats the format table says a DDS header names (DXT1..
// DXT5, A8R8G8B8, X8R8G8B8, R5G6B5 and A8), and hands back the format, the
// size and a pointer into the input for every stored level.
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

struct DdsLevel {
  const uint8_t* data;  // into the parsed input
  size_t size;
  UINT width;
  UINT height;
};

struct DdsImage {
  D3DFORMAT format;
  UINT width;
  UINT height;
  UINT levelCount;  // levels stored in the file, 1..kMaxLevels
  DdsLevel levels[kMaxLevels];
};

enum class DdsError {
  None,
  TooShort,            // shorter than the magic and the header
  BadMagic,
  BadHeaderSize,       // header or pixel-format size field wrong
  BadDimensions,       // width or height 0 or above formats::kMaxTextureSize
  NotTexture2D,        // cube map, volume or DX10 extended header
  UnsupportedFormat,   // a pixel format the loader does not know
  Truncated,           // the levels need more bytes than the file has
};

// True when the bytes begin with the DDS magic (the loader then parses them
// as DDS and nothing else).
bool IsDds(const void* data, size_t size);

// Parses `data`; on DdsError::None fills `out` (pointers into `data`).
// A mip count of 0 means one level; a count beyond the full chain of the
// top level's size is clamped to the full chain.
DdsError ParseDds(const void* data, size_t size, DdsImage* out);

const char* DdsErrorText(DdsError error);

}  // namespace d3dx
