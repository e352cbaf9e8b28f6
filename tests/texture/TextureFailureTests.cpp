// The reason the program gives for a texture file that did not load,
// composed from the file's bytes.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include "graphics/Texture.h"
#include "texture/DdsWriter.h"

namespace {

using namespace texture_test;

TEST(TextureFailure, NamesTheReasonFromTheFile) {
  TempDir dir("texture-failure");
  DdsLayout cube = FourCC(D3DFMT_DXT1, 4, 4);
  cube.caps2 = 0xfe00;
  DdsLayout noFaces = FourCC(D3DFMT_DXT1, 4, 4);
  noFaces.caps2 = 0x200;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;  // nothing written when empty and `missing`
    bool missing;
    const char* reason;
  };
  const Case cases[] = {
      {"missing", {}, true, "missing or empty file"},
      {"empty", {}, false, "missing or empty file"},
      {"not an image", {'h', 'e', 'l', 'l', 'o'}, false, "not an image file D3DX reads, or a damaged one"},
      {"short header", {'D', 'D', 'S', ' ', 1, 2, 3}, false, "shorter than a DDS header"},
      {"unknown FourCC", WriteDds(FourCC(MAKEFOURCC('A', 'B', 'C', 'D'), 4, 4), Pattern(16)), false,
       "unsupported pixel format: FourCC 'ABCD'"},
      {"unknown masks", WriteDds(Rgb(24, 0xff, 0xff00, 0xff0000, 0, 4, 4), Pattern(48)), false,
       "unsupported pixel format: 24-bit RGB masks 000000ff/0000ff00/00ff0000/00000000"},
      {"truncated", WriteDds(FourCC(D3DFMT_DXT1, 16, 16, 5), Pattern(128 + 32 + 4)), false,
       "truncated at level 2 (FourCC 'DXT1')"},
      {"cube face missing", WriteDds(cube, Pattern(40)), false, "truncated at level 0 of face 5 (FourCC 'DXT1')"},
      {"cube without faces", WriteDds(noFaces, Pattern(8)), false, "cube map without faces"},
      {"DX10 BC6H", WriteDds(Dx10(95, 4, 4), Pattern(16)), false, "DX10 header with DXGI format 95, which is not read"},
      {"too wide", WriteDds(FourCC(D3DFMT_DXT1, 16385, 4), Pattern(8)), false, "width or height out of range (16385x4)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = std::string(c.name) + ".dds";
    if (!c.missing) WriteFile(dir.path() / name, c.bytes);
    EXPECT_EQ(DescribeTextureFailure(dir.Wide(name), D3DXERR_INVALIDDATA), c.reason);
  }
  WriteFile(dir.path() / "good.dds", WriteDds(A8R8G8B8(1, 1), Pattern(4)));
  WriteFile(dir.path() / "large.dds", WriteDds(FourCC(D3DFMT_DXT1, 8192, 4096), Pattern(8)));
  EXPECT_EQ(DescribeTextureFailure(dir.Wide("large.dds"), E_OUTOFMEMORY), "too large to load (8192x4096, 0x8007000e)");
  WriteFile(dir.path() / "large.tga", Pattern(40));
  EXPECT_EQ(DescribeTextureFailure(dir.Wide("large.tga"), E_OUTOFMEMORY), "too large to load (0x8007000e)");
  EXPECT_EQ(DescribeTextureFailure(dir.Wide("good.dds"), D3DERR_OUTOFVIDEOMEMORY),
            "D3DXCreateTextureFromFile failed (0x8876017c)");
}

}  // namespace
