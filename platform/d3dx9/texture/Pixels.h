// Pixel conversion for the texture loader: every format it loads to and from
// 8-bit RGBA (R, G, B, A bytes, rows top first, no padding), the DXT block
// codecs, the box filter of the mip chain and the resampler that brings a
// size up to a power of two.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d3dx {

struct RgbaImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

// Decodes one level of `format` (the DDS layout: rows of pixels, or rows of
// 4x4 blocks) into RGBA. `size` must be at least LevelBytes(format, w, h).
bool DecodeLevel(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height, RgbaImage* out);

// Encodes RGBA into `format`, LevelBytes(format, w, h) bytes. DXT blocks at
// the right and bottom edges repeat the edge pixels.
std::vector<uint8_t> EncodeLevel(D3DFORMAT format, const RgbaImage& image);

// The next mip level: each dimension halved (clamped to 1), each pixel the
// average of the 2x2 (or 2x1) pixels it covers.
RgbaImage BoxDownsample(const RgbaImage& image);

// Bilinear resample to width x height (pixel centres aligned, edges clamped).
RgbaImage Resample(const RgbaImage& image, UINT width, UINT height);

// The smallest power of two >= n (n >= 1).
UINT NextPowerOfTwo(UINT n);

}  // namespace d3dx
