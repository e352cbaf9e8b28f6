// The mip levels below a level of 8-bit samples, made row by row: each
// level's rows in 8.8 fixed point (Pixels8.h) are halved into the next
// level's as soon as two of them have come, and written into the level's
// memory (the texture's locked level) as soon as a row of pixels, or of 4x4
// blocks, is complete. The levels come out as a whole-level box filter and
// encoder would make them, while nothing but a few rows a level is held
// besides the texture.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d3dx {

class MipRows {
 public:
  // Where one level is written: its rows (of blocks) `pitch` bytes apart.
  struct Target {
    uint8_t* bits;
    size_t pitch;
  };

  // The levels below a `width` x `height` level of R, G, B, A bytes (B, G,
  // R, A with `bgra`), down to 1x1, in `format` (one of CanEncodeFixed's):
  // one target a level, FullChainLength(width, height) - 1 of them.
  MipRows(D3DFORMAT format, UINT width, UINT height, bool bgra, const Target* targets);

  // The next `count` rows of the source level from the top, `stride` bytes
  // apart: whole pairs, or the one row of a level one pixel high. Every
  // level is written once all have come.
  void PushSourceRows(const uint8_t* rows, UINT count, size_t stride);

 private:
  struct Level {
    UINT width, height;
    UINT rowsIn;
    Target target;
    std::vector<uint16_t> band;  // the rows of the block row or pair being filled
    std::vector<uint16_t> next;  // a row of the level below, made from two of these
  };

  void Push(size_t level, const uint16_t* row);

  D3DFORMAT m_format;
  bool m_bgra;
  bool m_blocks;  // the format is written a row of 4x4 blocks at a time
  UINT m_width, m_height;
  std::vector<Level> m_levels;
  std::vector<uint16_t> m_row;  // a row of the first level, made from two of the source's
};

}  // namespace d3dx
