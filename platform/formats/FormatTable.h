// The Direct3D formats the layer knows, in one table: the texel layout, the
// GL upload (internal format, format, type, swizzle) and how a DDS file's
// header describes the format. Texture creation, the DDS parser and the pixel
// converters all read it; the rows are in FormatTable.cpp, so that the
// device's front reads the table without seeing a GL header.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace ostrevin::formats {

// Block-compressed formats without a D3DFORMAT of their own: the FourCCs
// that DDS writers use for them (BC4U and BC5U in the standard channel
// order; ATI1 and ATI2 are the Direct3D 9 driver formats), and BC7.
inline constexpr D3DFORMAT kFormatAti1 = static_cast<D3DFORMAT>(MAKEFOURCC('A', 'T', 'I', '1'));
inline constexpr D3DFORMAT kFormatAti2 = static_cast<D3DFORMAT>(MAKEFOURCC('A', 'T', 'I', '2'));
inline constexpr D3DFORMAT kFormatBc4 = static_cast<D3DFORMAT>(MAKEFOURCC('B', 'C', '4', 'U'));
inline constexpr D3DFORMAT kFormatBc5 = static_cast<D3DFORMAT>(MAKEFOURCC('B', 'C', '5', 'U'));
inline constexpr D3DFORMAT kFormatBc7 = static_cast<D3DFORMAT>(MAKEFOURCC('B', 'C', '7', 'U'));

// How a legacy DDS header names a format: by FourCC (the block formats and
// any D3DFORMAT number), or by bit count and masks under one of the pixel
// format flags: DDPF_RGB, DDPF_LUMINANCE, DDPF_ALPHA (alpha only) or
// DDPF_BUMPDUDV.
enum class DdsNaming { FourCC, Rgb, Luminance, Alpha, Bump };

struct DdsMasks {
  uint32_t bitCount, r, g, b, a;
};

// How the texels are stored, for the converters.
enum class Layout {
  Packed,   // unsigned normalised fields at the DDS masks, up to 32 bits
  Signed,   // two's complement 8- or 16-bit fields at the DDS masks
  Unorm16,  // 16-bit unsigned channels, R first
  Half,     // 16-bit floats, R first
  Float,    // 32-bit floats, R first
  Block,    // 4x4 blocks
};

struct FormatInfo {
  D3DFORMAT format;
  const char* name;
  bool compressed;   // 4x4 blocks
  UINT blockBytes;   // bytes per 4x4 block when compressed, else per pixel
  // The GL upload, as GL's enumeration values (the table is written with
  // GL's names in FormatTable.cpp; this header stays free of GL).
  uint32_t glInternalFormat, glFormat, glType;  // all 0: the device does not offer it; glFormat, glType 0 when compressed
  int32_t swizzle[4];
  DdsNaming dds;
  DdsMasks ddsMasks;  // fields of Packed and Signed layouts, and the header's masks
  Layout layout;
  UINT channels;      // R, G, B, A order for Unorm16, Half, Float
  D3DFORMAT loadAs;   // what the loader creates when the device does not offer this format
};

// Every row of the table (FormatTable.cpp), for range-for.
struct FormatRows {
  const FormatInfo* first;
  const FormatInfo* last;
  const FormatInfo* begin() const { return first; }
  const FormatInfo* end() const { return last; }
};
FormatRows AllFormats();

// The row of `format`, or nullptr when the layer does not know it.
const FormatInfo* FindFormat(D3DFORMAT format);

// The row whose D3DFORMAT number is `number`, as a file stores it, or
// nullptr. A number from a file's bytes becomes a D3DFORMAT only through
// this table: most DWORDs are no value of the enumeration.
const FormatInfo* FindFormatNumber(uint32_t number);

// True when textures of `format` can be created on the device.
inline bool OnDevice(const FormatInfo& info) { return info.glInternalFormat != 0; }

}  // namespace ostrevin::formats
