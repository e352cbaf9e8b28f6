// The Direct3D formats the layer knows, in one table: the texel layout, the
// GL upload (internal format, format, type, swizzle) and how a DDS file's
// header describes the format. Texture creation, the DDS parser and the pixel
// converters all read it.
#pragma once

#include <GL/glcorearb.h>
#include <d3d9.h>

#include <cstdint>

namespace ostrevin::formats {

// How a DDS header names a format: by FourCC only (the DXT family), by its
// masks under DDPF_RGB or DDPF_ALPHA (a D3DFORMAT number in the FourCC field
// is accepted too), or not at all (the format is not read from DDS files).
enum class DdsNaming { None, FourCC, RgbMasks, AlphaMask };

struct DdsMasks {
  uint32_t bitCount, r, g, b, a;
};

struct FormatInfo {
  D3DFORMAT format;
  bool compressed;   // 4x4 blocks (DXT)
  UINT blockBytes;   // bytes per 4x4 block when compressed, else per pixel
  GLenum glInternalFormat, glFormat, glType;  // glFormat and glType are 0 when compressed
  GLint swizzle[4];
  DdsNaming dds;
  DdsMasks ddsMasks;  // for RgbMasks and AlphaMask
};

inline constexpr FormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, false, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::RgbMasks, {32, 0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000}},
    {D3DFMT_X8R8G8B8, false, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     DdsNaming::RgbMasks, {32, 0x00ff0000, 0x0000ff00, 0x000000ff, 0}},
    {D3DFMT_A8B8G8R8, false, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::None, {}},
    {D3DFMT_X8B8G8R8, false, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     DdsNaming::None, {}},
    {D3DFMT_R5G6B5, false, 2, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     DdsNaming::RgbMasks, {16, 0xf800, 0x07e0, 0x001f, 0}},
    {D3DFMT_A1R5G5B5, false, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::None, {}},
    {D3DFMT_X1R5G5B5, false, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     DdsNaming::None, {}},
    {D3DFMT_A4R4G4B4, false, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::None, {}},
    {D3DFMT_A8, false, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED},
     DdsNaming::AlphaMask, {8, 0, 0, 0, 0xff}},
    {D3DFMT_L8, false, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}, DdsNaming::None, {}},
    {D3DFMT_A8L8, false, 2, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}, DdsNaming::None, {}},
    {D3DFMT_DXT1, true, 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::FourCC, {}},
    {D3DFMT_DXT2, true, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::FourCC, {}},
    {D3DFMT_DXT3, true, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::FourCC, {}},
    {D3DFMT_DXT4, true, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::FourCC, {}},
    {D3DFMT_DXT5, true, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     DdsNaming::FourCC, {}},
};

// The row of `format`, or nullptr when the layer does not know it.
inline const FormatInfo* FindFormat(D3DFORMAT format) {
  for (const FormatInfo& info : kFormats)
    if (info.format == format) return &info;
  return nullptr;
}

}  // namespace ostrevin::formats
