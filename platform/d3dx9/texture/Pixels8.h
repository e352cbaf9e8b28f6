// Images with 8-bit samples, for the image files whose samples are 8-bit
// (PNG, JPEG, BMP, TGA, PGM, PPM) and for the block formats of DDS files
// whose missing levels are made: the resample to powers of two works on
// bytes (rounded), the box filter of the mip chain on 16-bit fixed point (8
// fractional bits; the first level exact from the bytes), and the encoding
// into the formats such files load as (L8, A8L8, X8R8G8B8, A8R8G8B8) or the
// block format rounds to bytes: a fraction of the memory and time of the
// float path in Pixels.h, which keeps the float and other DDS formats. The
// fractions carry down the chain, so every level comes out within 1/255 of
// the float path's.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace d3dx {

// Bytes from malloc, freed with free: a decoder's buffer (stb_image's) is
// taken over rather than copied.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  explicit ByteBuffer(size_t size);  // uninitialised; throws std::bad_alloc
  ByteBuffer(uint8_t* fromMalloc, size_t size) : m_bytes(fromMalloc), m_size(size) {}
  uint8_t* data() { return m_bytes.get(); }
  const uint8_t* data() const { return m_bytes.get(); }
  size_t size() const { return m_size; }
  uint8_t& operator[](size_t i) { return m_bytes.get()[i]; }
  const uint8_t& operator[](size_t i) const { return m_bytes.get()[i]; }

 private:
  struct Free {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, Free> m_bytes;
  size_t m_size = 0;
};

// A decoded image: R, G, B, A bytes, rows top first.
struct Rgba8Image {
  UINT width = 0;
  UINT height = 0;
  ByteBuffer pixels;  // width * height * 4
};

// True for the formats EncodeRows and Encode8 write: those image files
// load as, and the block formats but BC7.
bool CanEncodeFixed(D3DFORMAT format);

// Writes `height` rows of `width` R, G, B, A pixels (bytes, or 8.8 fixed
// point where 255 is 0xFF00; no padding) in `format` (one of
// CanEncodeFixed's) into `dst`, rows (or rows of 4x4 blocks) `pitch` bytes
// apart, each channel rounded to the nearest byte. Blocks at the right and
// bottom edges repeat the edge pixels; a block format is written a row of
// blocks at a time from up to 4 rows.
void EncodeRows(D3DFORMAT format, const uint16_t* rows, UINT width, UINT height, uint8_t* dst, size_t pitch);
void EncodeRows(D3DFORMAT format, const uint8_t* rows, UINT width, UINT height, uint8_t* dst, size_t pitch);
void Encode8(D3DFORMAT format, const Rgba8Image& image, uint8_t* dst, size_t pitch);

// The next mip level of `height` rows of `width` pixels, `stride` samples
// apart: each dimension halved (clamped to 1), each pixel the average of
// the 2x2 (or 2x1) pixels it covers, into `out` in 8.8 fixed point (R, G,
// B, A; no padding). From bytes the average is exact; with `bgra` they are
// in B, G, R, A order (a level already written as X8R8G8B8 or A8R8G8B8,
// whose X averages to ones, which its encoding writes anyway). Two rows in
// make one row out, as a whole level would.
void BoxDownsampleRows(const uint8_t* src, UINT width, UINT height, size_t stride, bool bgra, uint16_t* out);
void BoxDownsampleRows(const uint16_t* src, UINT width, UINT height, size_t stride, uint16_t* out);

// Decodes one row of blocks of a block format (all but BC7) into `rows`
// (at most 4) rows of `width` R, G, B, A bytes, as DecodeLevel would into
// floats.
bool DecodeBlockRow8(D3DFORMAT format, const uint8_t* blocks, UINT width, UINT rows, uint8_t* out);

// True when some pixel of the level, decoded, has alpha below one half
// (HasCutOutAlpha); false too when `size` is short.
bool HasCutOutAlpha8(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height);

// Bilinear resample to width x height, with the taps of Resample (pixel
// centres aligned, edges clamped), each channel rounded to the nearest
// byte: within half a step of the float path, so the levels made from it
// stay within one.
Rgba8Image Resample8(const Rgba8Image& image, UINT width, UINT height);
// The same written into `dst`, rows `pitch` bytes apart.
void Resample8(const Rgba8Image& image, UINT width, UINT height, uint8_t* dst, size_t pitch);

// R, G, B, A bytes (rows `pitch` apart) made X8R8G8B8 or A8R8G8B8 in place:
// R and B swapped, the X of X8R8G8B8 written as ones.
void SwizzleToBgra(D3DFORMAT format, uint8_t* pixels, UINT width, UINT height, size_t pitch);

}  // namespace d3dx
