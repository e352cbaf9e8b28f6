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

// The same in 8.8 fixed point: 255 is 0xFF00.
struct FixedRgbaImage {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint16_t> pixels;  // width * height * 4
};

// True for the formats EncodeFixed and Encode8 write: those image files
// load as, and the block formats but BC7.
bool CanEncodeFixed(D3DFORMAT format);

// The level's bytes in `format` (one of CanEncodeFixed's), each channel
// rounded to the nearest byte; blocks at the right and bottom edges repeat
// the edge pixels.
std::vector<uint8_t> EncodeFixed(D3DFORMAT format, const FixedRgbaImage& image);
std::vector<uint8_t> Encode8(D3DFORMAT format, const Rgba8Image& image);

// The next mip level: each dimension halved (clamped to 1), each pixel the
// average of the 2x2 (or 2x1) pixels it covers. From bytes the average is
// exact in 8.8.
FixedRgbaImage BoxDownsampleFixed(const FixedRgbaImage& image);
FixedRgbaImage BoxDownsample8(const Rgba8Image& image);

// True when some pixel's alpha is below one half (HasCutOutAlpha).
bool HasCutOutAlpha8(const Rgba8Image& image);

// Decodes one level of a block format (all but BC7) into bytes, as
// DecodeLevel would into floats. False when `size` is short.
bool DecodeBlocks8(D3DFORMAT format, const uint8_t* data, size_t size, UINT width, UINT height, Rgba8Image* out);

// Bilinear resample to width x height, with the taps of Resample (pixel
// centres aligned, edges clamped), each channel rounded to the nearest
// byte: within half a step of the float path, so the levels made from it
// stay within one.
Rgba8Image Resample8(const Rgba8Image& image, UINT width, UINT height);

// The level in X8R8G8B8 or A8R8G8B8 made in place: R and B swapped, the X
// of X8R8G8B8 written as ones. The image's bytes are the level's.
void SwizzleToBgra(D3DFORMAT format, Rgba8Image* image);

}  // namespace d3dx
