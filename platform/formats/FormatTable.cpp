// The rows of the format table (FormatTable.h), written with GL's names.
#include "FormatTable.h"

#include <GL/glcorearb.h>

#include <iterator>

namespace ostrevin::formats {

namespace {

#define OSTREVIN_RGBA {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}
#define OSTREVIN_RGB1 {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}
#define OSTREVIN_RG11 {GL_RED, GL_GREEN, GL_ONE, GL_ONE}
#define OSTREVIN_R111 {GL_RED, GL_ONE, GL_ONE, GL_ONE}

// Missing channels read as one, as Direct3D 9 samples them; luminance is
// replicated into R, G and B.
constexpr FormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, "A8R8G8B8", false, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, OSTREVIN_RGBA,
     DdsNaming::Rgb, {32, 0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_X8R8G8B8, "X8R8G8B8", false, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, OSTREVIN_RGB1,
     DdsNaming::Rgb, {32, 0x00ff0000, 0x0000ff00, 0x000000ff, 0}, Layout::Packed, 3, D3DFMT_UNKNOWN},
    {D3DFMT_R8G8B8, "R8G8B8", false, 3, 0, 0, 0, OSTREVIN_RGB1,
     DdsNaming::Rgb, {24, 0xff0000, 0x00ff00, 0x0000ff, 0}, Layout::Packed, 3, D3DFMT_X8R8G8B8},
    {D3DFMT_A8B8G8R8, "A8B8G8R8", false, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, OSTREVIN_RGBA,
     DdsNaming::Rgb, {32, 0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_X8B8G8R8, "X8B8G8R8", false, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, OSTREVIN_RGB1,
     DdsNaming::Rgb, {32, 0x000000ff, 0x0000ff00, 0x00ff0000, 0}, Layout::Packed, 3, D3DFMT_UNKNOWN},
    {D3DFMT_R5G6B5, "R5G6B5", false, 2, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, OSTREVIN_RGB1,
     DdsNaming::Rgb, {16, 0xf800, 0x07e0, 0x001f, 0}, Layout::Packed, 3, D3DFMT_UNKNOWN},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", false, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, OSTREVIN_RGBA,
     DdsNaming::Rgb, {16, 0x7c00, 0x03e0, 0x001f, 0x8000}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_X1R5G5B5, "X1R5G5B5", false, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, OSTREVIN_RGB1,
     DdsNaming::Rgb, {16, 0x7c00, 0x03e0, 0x001f, 0}, Layout::Packed, 3, D3DFMT_UNKNOWN},
    {D3DFMT_A4R4G4B4, "A4R4G4B4", false, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, OSTREVIN_RGBA,
     DdsNaming::Rgb, {16, 0x0f00, 0x00f0, 0x000f, 0xf000}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_X4R4G4B4, "X4R4G4B4", false, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, OSTREVIN_RGB1,
     DdsNaming::Rgb, {16, 0x0f00, 0x00f0, 0x000f, 0}, Layout::Packed, 3, D3DFMT_UNKNOWN},
    {D3DFMT_R3G3B2, "R3G3B2", false, 1, 0, 0, 0, OSTREVIN_RGB1,
     DdsNaming::Rgb, {8, 0xe0, 0x1c, 0x03, 0}, Layout::Packed, 3, D3DFMT_X8R8G8B8},
    {D3DFMT_A8R3G3B2, "A8R3G3B2", false, 2, 0, 0, 0, OSTREVIN_RGBA,
     DdsNaming::Rgb, {16, 0x00e0, 0x001c, 0x0003, 0xff00}, Layout::Packed, 4, D3DFMT_A8R8G8B8},
    // D3DX reads the 10:10:10:2 masks the wrong way round (and writes them
    // so): the masks of A2R10G10B10 name A2B10G10R10 and the other way.
    {D3DFMT_A2B10G10R10, "A2B10G10R10", false, 4, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, OSTREVIN_RGBA,
     DdsNaming::Rgb, {32, 0x3ff00000, 0x000ffc00, 0x000003ff, 0xc0000000}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_A2R10G10B10, "A2R10G10B10", false, 4, GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, OSTREVIN_RGBA,
     DdsNaming::Rgb, {32, 0x000003ff, 0x000ffc00, 0x3ff00000, 0xc0000000}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_G16R16, "G16R16", false, 4, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, OSTREVIN_RG11,
     DdsNaming::Rgb, {32, 0x0000ffff, 0xffff0000, 0, 0}, Layout::Unorm16, 2, D3DFMT_UNKNOWN},
    {D3DFMT_A16B16G16R16, "A16B16G16R16", false, 8, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Unorm16, 4, D3DFMT_UNKNOWN},
    {D3DFMT_A8, "A8", false, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED},
     DdsNaming::Alpha, {8, 0, 0, 0, 0xff}, Layout::Packed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_L8, "L8", false, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE},
     DdsNaming::Luminance, {8, 0xff, 0, 0, 0}, Layout::Packed, 1, D3DFMT_UNKNOWN},
    {D3DFMT_A8L8, "A8L8", false, 2, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN},
     DdsNaming::Luminance, {16, 0x00ff, 0, 0, 0xff00}, Layout::Packed, 2, D3DFMT_UNKNOWN},
    {D3DFMT_A4L4, "A4L4", false, 1, 0, 0, 0, {GL_RED, GL_RED, GL_RED, GL_GREEN},
     DdsNaming::Luminance, {8, 0x0f, 0, 0, 0xf0}, Layout::Packed, 2, D3DFMT_A8L8},
    {D3DFMT_L16, "L16", false, 2, GL_R16, GL_RED, GL_UNSIGNED_SHORT, {GL_RED, GL_RED, GL_RED, GL_ONE},
     DdsNaming::Luminance, {16, 0xffff, 0, 0, 0}, Layout::Packed, 1, D3DFMT_UNKNOWN},
    {D3DFMT_V8U8, "V8U8", false, 2, GL_RG8_SNORM, GL_RG, GL_BYTE, OSTREVIN_RG11,
     DdsNaming::Bump, {16, 0x00ff, 0xff00, 0, 0}, Layout::Signed, 2, D3DFMT_UNKNOWN},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8", false, 4, GL_RGBA8_SNORM, GL_RGBA, GL_BYTE, OSTREVIN_RGBA,
     DdsNaming::Bump, {32, 0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000}, Layout::Signed, 4, D3DFMT_UNKNOWN},
    {D3DFMT_V16U16, "V16U16", false, 4, GL_RG16_SNORM, GL_RG, GL_SHORT, OSTREVIN_RG11,
     DdsNaming::Bump, {32, 0x0000ffff, 0xffff0000, 0, 0}, Layout::Signed, 2, D3DFMT_UNKNOWN},
    {D3DFMT_R16F, "R16F", false, 2, GL_R16F, GL_RED, GL_HALF_FLOAT, OSTREVIN_R111,
     DdsNaming::FourCC, {}, Layout::Half, 1, D3DFMT_UNKNOWN},
    {D3DFMT_G16R16F, "G16R16F", false, 4, GL_RG16F, GL_RG, GL_HALF_FLOAT, OSTREVIN_RG11,
     DdsNaming::FourCC, {}, Layout::Half, 2, D3DFMT_UNKNOWN},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F", false, 8, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Half, 4, D3DFMT_UNKNOWN},
    {D3DFMT_R32F, "R32F", false, 4, GL_R32F, GL_RED, GL_FLOAT, OSTREVIN_R111,
     DdsNaming::FourCC, {}, Layout::Float, 1, D3DFMT_UNKNOWN},
    {D3DFMT_G32R32F, "G32R32F", false, 8, GL_RG32F, GL_RG, GL_FLOAT, OSTREVIN_RG11,
     DdsNaming::FourCC, {}, Layout::Float, 2, D3DFMT_UNKNOWN},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F", false, 16, GL_RGBA32F, GL_RGBA, GL_FLOAT, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Float, 4, D3DFMT_UNKNOWN},
    {D3DFMT_DXT1, "DXT1", true, 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Block, 4, D3DFMT_UNKNOWN},
    {D3DFMT_DXT2, "DXT2", true, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Block, 4, D3DFMT_UNKNOWN},
    {D3DFMT_DXT3, "DXT3", true, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Block, 4, D3DFMT_UNKNOWN},
    {D3DFMT_DXT4, "DXT4", true, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Block, 4, D3DFMT_UNKNOWN},
    {D3DFMT_DXT5, "DXT5", true, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Block, 4, D3DFMT_UNKNOWN},
    // The driver formats sample their one channel everywhere, and the two
    // channels of ATI2 swapped; the DX10-era BC4 and BC5 do neither.
    {kFormatAti1, "ATI1", true, 8, GL_COMPRESSED_RED_RGTC1, 0, 0, {GL_RED, GL_RED, GL_RED, GL_RED},
     DdsNaming::FourCC, {}, Layout::Block, 1, D3DFMT_UNKNOWN},
    {kFormatAti2, "ATI2", true, 16, GL_COMPRESSED_RG_RGTC2, 0, 0, {GL_GREEN, GL_RED, GL_ONE, GL_ONE},
     DdsNaming::FourCC, {}, Layout::Block, 2, D3DFMT_UNKNOWN},
    {kFormatBc4, "BC4", true, 8, GL_COMPRESSED_RED_RGTC1, 0, 0, {GL_RED, GL_ZERO, GL_ZERO, GL_ONE},
     DdsNaming::FourCC, {}, Layout::Block, 1, D3DFMT_UNKNOWN},
    {kFormatBc5, "BC5", true, 16, GL_COMPRESSED_RG_RGTC2, 0, 0, {GL_RED, GL_GREEN, GL_ZERO, GL_ONE},
     DdsNaming::FourCC, {}, Layout::Block, 2, D3DFMT_UNKNOWN},
    {kFormatBc7, "BC7", true, 16, GL_COMPRESSED_RGBA_BPTC_UNORM, 0, 0, OSTREVIN_RGBA,
     DdsNaming::FourCC, {}, Layout::Block, 4, D3DFMT_UNKNOWN},
};

#undef OSTREVIN_RGBA
#undef OSTREVIN_RGB1
#undef OSTREVIN_RG11
#undef OSTREVIN_R111

}  // namespace

FormatRows AllFormats() { return {std::begin(kFormats), std::end(kFormats)}; }

const FormatInfo* FindFormat(D3DFORMAT format) {
  for (const FormatInfo& info : kFormats)
    if (info.format == format) return &info;
  return nullptr;
}

const FormatInfo* FindFormatNumber(uint32_t number) {
  for (const FormatInfo& info : kFormats)
    if (static_cast<uint32_t>(info.format) == number) return &info;
  return nullptr;
}

}  // namespace ostrevin::formats
