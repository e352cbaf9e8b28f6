// The memory layout of a texture level, from the format table: rows of
// pixels, or rows of 4x4 blocks for the compressed formats. Every size is
// 0 for a format the table does not know.
#pragma once

#include <algorithm>
#include <cstdint>

#include "FormatTable.h"

namespace ostrevin::formats {

// Largest width or height of a texture or a back buffer.
inline constexpr UINT kMaxTextureSize = 16384;

inline bool IsCompressed(D3DFORMAT format) {
  const FormatInfo* info = FindFormat(format);
  return info != nullptr && info->compressed;
}

// Bytes of one row (of blocks when compressed).
inline uint64_t RowBytes(D3DFORMAT format, UINT width) {
  const FormatInfo* info = FindFormat(format);
  if (info == nullptr) return 0;
  if (info->compressed) return std::max<uint64_t>(1, (static_cast<uint64_t>(width) + 3) / 4) * info->blockBytes;
  return static_cast<uint64_t>(width) * info->blockBytes;
}

// Rows in a level of `height` pixels (rows of blocks when compressed).
inline UINT RowCount(D3DFORMAT format, UINT height) {
  if (IsCompressed(format)) return std::max<UINT>(1, static_cast<UINT>((static_cast<uint64_t>(height) + 3) / 4));
  return height;
}

inline uint64_t LevelBytes(D3DFORMAT format, UINT width, UINT height) {
  return RowBytes(format, width) * RowCount(format, height);
}

// Levels of the full chain of a width x height top level (down to 1x1).
inline UINT FullChainLength(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT m = std::max(width, height); m > 1; m >>= 1) ++levels;
  return levels;
}

}  // namespace ostrevin::formats
