// Pixel conversion for the texture loader: every format of the format table
// to and from float RGBA (rows top first, no padding), the block codecs
// (DXT1-5, ATI1/ATI2/BC4/BC5; BC7 is uploaded as stored and never decoded),
// the box filter of the mip chain and the resampler that brings a size up to
// a power of two.
//
// Channels are those of the storage: unsigned normalised values in 0..1,
// signed ones in -1..1, floats as stored; luminance decodes into R, G and B
// and encodes from R; a channel the format lacks decodes as 1 (alpha) or 0.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d3dx {

struct RgbaImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<float> pixels;  // width * height * 4
};

// Decoding, resampling and the mip chain hold whole images: float RGBA (16
// bytes a pixel) for float and DDS formats, bytes (4 a pixel, the mip
// levels in 8.8 fixed point) for image files with 8-bit samples. The loader
// refuses a texture whose working image, at its rounded-up size, would take
// more than kMaxWorkingBytes counted at kFloatPixelBytes or kFixedPixelBytes
// a pixel: 4096x4096 pixels in float, 8192x4096 for 8-bit samples, as from
// a file that is honest about its size but would take seconds and most of
// a 32-bit process's memory.
constexpr uint64_t kMaxWorkingBytes = 256ull << 20;
constexpr uint64_t kFloatPixelBytes = 16;
constexpr uint64_t kFixedPixelBytes = 8;
constexpr uint64_t kMaxDecodedPixels = kMaxWorkingBytes / kFloatPixelBytes;

// True when the converters read and write `format` (all but BC7).
bool CanConvert(D3DFORMAT format);

// One 4x4 block of a compressed format (all but BC7) to or from 8-bit
// RGBA, pixels in rows.
void DecodeBlock(D3DFORMAT format, const uint8_t* block, uint8_t out[16][4]);
void EncodeBlock(D3DFORMAT format, const uint8_t in[16][4], uint8_t* block);

// Decodes one level of `format` (the DDS layout: rows of pixels, or rows of
// 4x4 blocks) into RGBA. `size` must be at least LevelBytes(format, w, h).
bool DecodeLevel(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height, RgbaImage* out);

// Encodes RGBA into `format`, LevelBytes(format, w, h) bytes. Blocks at the
// right and bottom edges repeat the edge pixels. DXT1 blocks are opaque.
std::vector<uint8_t> EncodeLevel(D3DFORMAT format, const RgbaImage& image);

// True when some pixel's alpha is below one half: DXT1's one-bit alpha
// would keep it, the opaque encoder would not.
bool HasCutOutAlpha(const RgbaImage& image);

// The next mip level: each dimension halved (clamped to 1), each pixel the
// average of the 2x2 (or 2x1) pixels it covers.
RgbaImage BoxDownsample(const RgbaImage& image);

// Bilinear resample to width x height (pixel centres aligned, edges clamped).
// Where a bilinear resample from `src` to `dst` texels reads each
// destination column or row: the two source texels and the second one's
// weight (texel centres aligned, clamped at the edges). Resample and the
// fixed-point resample of Pixels8.h both place their taps so.
struct ResampleTap {
  UINT i0, i1;
  float t;
};
std::vector<ResampleTap> ResampleTaps(UINT src, UINT dst);

RgbaImage Resample(const RgbaImage& image, UINT width, UINT height);

// The smallest power of two >= n (n >= 1).
UINT NextPowerOfTwo(UINT n);

}  // namespace d3dx
