// Images with 8-bit samples, for the image files whose samples are 8-bit
// (PNG, JPEG, BMP, TGA, PGM, PPM): the resample to powers of two, the box
// filter of the mip chain and the encoding into the formats such files
// load as (L8, A8L8, X8R8G8B8, A8R8G8B8) work on 16-bit fixed point (8
// fractional bits), half the memory and a fraction of the time of the
// float path in Pixels.h, which keeps the float and DDS formats. The
// fractions carry down the chain, so every level comes out within 1/255
// of the float path's.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

namespace d3dx {

// A decoded image: R, G, B, A bytes, rows top first.
struct Rgba8Image {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

// The same in 8.8 fixed point: 255 is 0xFF00.
struct FixedRgbaImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint16_t> pixels;  // width * height * 4
};

FixedRgbaImage ToFixed(const Rgba8Image& image);

// True for the formats EncodeFixed writes.
bool CanEncodeFixed(D3DFORMAT format);

// The level's bytes in `format` (one of CanEncodeFixed's), each channel
// rounded to the nearest byte.
std::vector<uint8_t> EncodeFixed(D3DFORMAT format, const FixedRgbaImage& image);

// The next mip level: each dimension halved (clamped to 1), each pixel the
// average of the 2x2 (or 2x1) pixels it covers.
FixedRgbaImage BoxDownsampleFixed(const FixedRgbaImage& image);

// Bilinear resample to width x height, with the taps of Resample (pixel
// centres aligned, edges clamped).
FixedRgbaImage ResampleFixed(const Rgba8Image& image, UINT width, UINT height);

}  // namespace d3dx
