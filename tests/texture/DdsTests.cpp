// The DDS parser over bytes built in the test.
#include <gtest/gtest.h>

#include "platform/d3dx9/texture/Dds.h"
#include "platform/formats/TextureLayout.h"
#include "texture/DdsWriter.h"

namespace {

using namespace texture_test;

struct FormatCase {
  const char* name;
  DdsLayout layout;
  D3DFORMAT format;
  std::vector<size_t> levelSizes;
};

TEST(DdsParser, EachFormatGivesItsFormatSizeAndLevels) {
  const FormatCase cases[] = {
      // 5x3 DXT1: 2x1 blocks, then 2x1 (1 block), 1x1 (1 block).
      {"DXT1", FourCC(D3DFMT_DXT1, 5, 3, 3), D3DFMT_DXT1, {16, 8, 8}},
      {"DXT2", FourCC(D3DFMT_DXT2, 8, 8, 2), D3DFMT_DXT2, {64, 16}},
      {"DXT3", FourCC(D3DFMT_DXT3, 8, 4, 4), D3DFMT_DXT3, {32, 16, 16, 16}},
      {"DXT4", FourCC(D3DFMT_DXT4, 4, 4), D3DFMT_DXT4, {16}},
      {"DXT5", FourCC(D3DFMT_DXT5, 16, 8, 5), D3DFMT_DXT5, {128, 32, 16, 16, 16}},
      {"A8R8G8B8", A8R8G8B8(4, 2, 3), D3DFMT_A8R8G8B8, {32, 8, 4}},
      {"X8R8G8B8", X8R8G8B8(3, 3, 2), D3DFMT_X8R8G8B8, {36, 4}},
      {"R5G6B5", R5G6B5(5, 2, 3), D3DFMT_R5G6B5, {20, 4, 2}},
      {"A8", A8(7, 1, 3), D3DFMT_A8, {7, 3, 1}},
      {"D3DFORMAT number as FourCC", FourCC(D3DFMT_A8R8G8B8, 2, 2), D3DFMT_A8R8G8B8, {16}},
      {"R8G8B8", Rgb(24, 0xff0000, 0xff00, 0xff, 0, 3, 2, 2), D3DFMT_R8G8B8, {18, 3}},
      {"X1R5G5B5", Rgb(16, 0x7c00, 0x3e0, 0x1f, 0, 2, 2), D3DFMT_X1R5G5B5, {8}},
      {"A1R5G5B5", Rgb(16, 0x7c00, 0x3e0, 0x1f, 0x8000, 2, 2), D3DFMT_A1R5G5B5, {8}},
      {"A4R4G4B4", Rgb(16, 0xf00, 0xf0, 0xf, 0xf000, 2, 2), D3DFMT_A4R4G4B4, {8}},
      {"X4R4G4B4", Rgb(16, 0xf00, 0xf0, 0xf, 0, 2, 2), D3DFMT_X4R4G4B4, {8}},
      {"R3G3B2", Rgb(8, 0xe0, 0x1c, 0x3, 0, 2, 2), D3DFMT_R3G3B2, {4}},
      {"A8R3G3B2", Rgb(16, 0xe0, 0x1c, 0x3, 0xff00, 2, 2), D3DFMT_A8R3G3B2, {8}},
      {"A8B8G8R8", Rgb(32, 0xff, 0xff00, 0xff0000, 0xff000000, 2, 2), D3DFMT_A8B8G8R8, {16}},
      {"X8B8G8R8", Rgb(32, 0xff, 0xff00, 0xff0000, 0, 2, 2), D3DFMT_X8B8G8R8, {16}},
      {"A8R8G8B8 without DDPF_ALPHAPIXELS is X8R8G8B8",
       [] {
         DdsLayout s = A8R8G8B8(2, 2);
         s.pfFlags = 0x40;
         return s;
       }(),
       D3DFMT_X8R8G8B8, {16}},
      // D3DX's swapped masks of the 10:10:10:2 formats.
      {"A2B10G10R10", Rgb(32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000, 2, 2), D3DFMT_A2B10G10R10, {16}},
      {"A2R10G10B10", Rgb(32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000, 2, 2), D3DFMT_A2R10G10B10, {16}},
      {"G16R16", Rgb(32, 0xffff, 0xffff0000, 0, 0, 2, 2), D3DFMT_G16R16, {16}},
      {"L8", Masks(0x20000, 8, 0xff, 0, 0, 0, 2, 2), D3DFMT_L8, {4}},
      {"A8L8", Masks(0x20000, 16, 0xff, 0, 0, 0xff00, 2, 2), D3DFMT_A8L8, {8}},
      {"A4L4", Masks(0x20000, 8, 0xf, 0, 0, 0xf0, 2, 2), D3DFMT_A4L4, {4}},
      {"L16", Masks(0x20000, 16, 0xffff, 0, 0, 0, 2, 2), D3DFMT_L16, {8}},
      {"V8U8", Masks(0x80000, 16, 0xff, 0xff00, 0, 0, 2, 2), D3DFMT_V8U8, {8}},
      {"Q8W8V8U8", Masks(0x80000, 32, 0xff, 0xff00, 0xff0000, 0xff000000, 2, 2), D3DFMT_Q8W8V8U8, {16}},
      {"V16U16", Masks(0x80000, 32, 0xffff, 0xffff0000, 0, 0, 2, 2), D3DFMT_V16U16, {16}},
      {"A16B16G16R16", FourCC(D3DFMT_A16B16G16R16, 2, 2), D3DFMT_A16B16G16R16, {32}},
      {"R16F", FourCC(D3DFMT_R16F, 2, 2), D3DFMT_R16F, {8}},
      {"G16R16F", FourCC(D3DFMT_G16R16F, 2, 2), D3DFMT_G16R16F, {16}},
      {"A16B16G16R16F", FourCC(D3DFMT_A16B16G16R16F, 2, 2), D3DFMT_A16B16G16R16F, {32}},
      {"R32F", FourCC(D3DFMT_R32F, 2, 2), D3DFMT_R32F, {16}},
      {"G32R32F", FourCC(D3DFMT_G32R32F, 2, 2), D3DFMT_G32R32F, {32}},
      {"A32B32G32R32F", FourCC(D3DFMT_A32B32G32R32F, 2, 2), D3DFMT_A32B32G32R32F, {64}},
      {"ATI1", FourCC(MAKEFOURCC('A', 'T', 'I', '1'), 8, 4, 2), ostrevin::formats::kFormatAti1, {16, 8}},
      {"ATI2", FourCC(MAKEFOURCC('A', 'T', 'I', '2'), 4, 4), ostrevin::formats::kFormatAti2, {16}},
      {"DX10 BC1_UNORM", Dx10(71, 8, 8, 2), D3DFMT_DXT1, {32, 8}},
      {"DX10 BC3_UNORM_SRGB", Dx10(78, 4, 4), D3DFMT_DXT5, {16}},
      {"DX10 BC4_UNORM", Dx10(80, 4, 4), ostrevin::formats::kFormatBc4, {8}},
      {"DX10 BC5_UNORM", Dx10(83, 4, 4), ostrevin::formats::kFormatBc5, {16}},
      {"DX10 BC7_UNORM", Dx10(98, 4, 4), ostrevin::formats::kFormatBc7, {16}},
      {"DX10 R8G8B8A8_UNORM", Dx10(28, 2, 2), D3DFMT_A8B8G8R8, {16}},
      {"DX10 B8G8R8X8_UNORM_SRGB", Dx10(93, 2, 2), D3DFMT_X8R8G8B8, {16}},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    size_t total = 0;
    for (size_t s : c.levelSizes) total += s;
    const std::vector<uint8_t> file = WriteDds(c.layout, Pattern(total));
    d3dx::DdsImage image;
    ASSERT_EQ(d3dx::ParseDds(file.data(), file.size(), &image), d3dx::DdsError::None);
    EXPECT_EQ(image.format, c.format);
    EXPECT_EQ(image.width, c.layout.width);
    EXPECT_EQ(image.height, c.layout.height);
    ASSERT_EQ(image.levelCount, c.levelSizes.size());
    size_t offset = d3dx::kDdsDataOffset + (c.layout.fourCC == MAKEFOURCC('D', 'X', '1', '0') ? 20 : 0);
    UINT w = c.layout.width, h = c.layout.height;
    for (UINT i = 0; i < image.levelCount; ++i) {
      EXPECT_EQ(image.levels[i].data, file.data() + offset) << "level " << i;
      EXPECT_EQ(image.levels[i].size, c.levelSizes[i]) << "level " << i;
      EXPECT_EQ(image.levels[i].width, w);
      EXPECT_EQ(image.levels[i].height, h);
      offset += c.levelSizes[i];
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
    }
  }
}

TEST(DdsParser, MipCountZeroIsOneAndTooManyIsClampedToTheFullChain) {
  d3dx::DdsImage image;
  const std::vector<uint8_t> one = WriteDds(A8R8G8B8(4, 4, 0), Pattern(64));
  ASSERT_EQ(d3dx::ParseDds(one.data(), one.size(), &image), d3dx::DdsError::None);
  EXPECT_EQ(image.levelCount, 1u);

  // 4x2: 4x2, 2x1, 1x1 is the whole chain; the header asks for 9.
  const std::vector<uint8_t> many = WriteDds(A8R8G8B8(4, 2, 9), Pattern(32 + 8 + 4 + 100));
  ASSERT_EQ(d3dx::ParseDds(many.data(), many.size(), &image), d3dx::DdsError::None);
  EXPECT_EQ(image.levelCount, 3u);
  EXPECT_EQ(ostrevin::formats::FullChainLength(16384, 1), 15u);
}

TEST(DdsParser, BadFilesAreRefused) {
  using E = d3dx::DdsError;
  const std::vector<uint8_t> good = WriteDds(FourCC(D3DFMT_DXT1, 8, 8, 4), Pattern(32 + 8 + 8 + 8));
  auto with = [](DdsLayout s, auto change) {
    change(s);
    return s;
  };
  struct BadCase {
    const char* name;
    std::vector<uint8_t> bytes;
    E error;
  };
  const BadCase cases[] = {
      {"empty", {}, E::TooShort},
      {"magic only", std::vector<uint8_t>(good.begin(), good.begin() + 4), E::TooShort},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 127), E::TooShort},
      {"bad magic", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) { s.magic = 0x20534443; }), Pattern(8)),
       E::BadMagic},
      {"header size 128",
       WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) { s.headerSize = 128; }), Pattern(8)), E::BadHeaderSize},
      {"pixel format size 0", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) { s.pfSize = 0; }), Pattern(8)),
       E::BadHeaderSize},
      {"last level one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1), E::Truncated},
      {"no level data", std::vector<uint8_t>(good.begin(), good.begin() + 128), E::Truncated},
      {"A8R8G8B8 row short", WriteDds(A8R8G8B8(4, 4), Pattern(63)), E::Truncated},
      {"width 0", WriteDds(FourCC(D3DFMT_DXT1, 0, 4), Pattern(8)), E::BadDimensions},
      {"height 0", WriteDds(FourCC(D3DFMT_DXT1, 4, 0), Pattern(8)), E::BadDimensions},
      {"width 16385", WriteDds(FourCC(D3DFMT_DXT1, 16385, 4), Pattern(8)), E::BadDimensions},
      {"height 0xffffffff", WriteDds(FourCC(D3DFMT_DXT1, 4, 0xffffffffu), Pattern(8)), E::BadDimensions},
      {"16384 square claimed by a tiny file", WriteDds(FourCC(D3DFMT_DXT5, 16384, 16384, 15), Pattern(64)),
       E::Truncated},
      {"unknown FourCC", WriteDds(FourCC(MAKEFOURCC('A', 'B', 'C', 'D'), 4, 4), Pattern(16)), E::UnsupportedFormat},
      {"24-bit BGR masks", WriteDds(Rgb(24, 0xff, 0xff00, 0xff0000, 0, 4, 4), Pattern(48)), E::UnsupportedFormat},
      {"16-bit RGBA masks", WriteDds(Rgb(16, 0xf000, 0xf00, 0xf0, 0xf, 4, 4), Pattern(32)), E::UnsupportedFormat},
      {"no pixel-format flag", WriteDds(with(A8R8G8B8(4, 4), [](DdsLayout& s) { s.pfFlags = 0; }), Pattern(64)),
       E::UnsupportedFormat},
      {"DX10 header cut short", [] {
         std::vector<uint8_t> f = WriteDds(Dx10(71, 4, 4), {});
         f.resize(140);
         return f;
       }(),
       E::TooShort},
      {"DX10 BC6H", WriteDds(Dx10(95, 4, 4), Pattern(16)), E::UnsupportedDxgi},
      {"DX10 format beyond the list", WriteDds(Dx10(0x03020100, 4, 4), Pattern(16)), E::UnsupportedDxgi},
      {"DX10 buffer", WriteDds(with(Dx10(71, 4, 4), [](DdsLayout& s) { s.dimension = 1; }), Pattern(8)),
       E::NotTexture2D},
      {"cube map without faces", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) { s.caps2 = 0x200; }), Pattern(8)),
       E::NotTexture2D},
      {"cube map missing its last face", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) { s.caps2 = 0xfe00; }),
                                                  Pattern(40)),
       E::Truncated},
      {"volume missing its last slice", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) {
         s.caps2 = 0x200000;
         s.depth = 4;
       }), Pattern(24)),
       E::Truncated},
      {"volume 16385 deep", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) {
         s.caps2 = 0x200000;
         s.depth = 16385;
       }), Pattern(8)),
       E::BadDimensions},
      {"DX10 array of 2^32-1 claimed by a tiny file",
       WriteDds(with(Dx10(71, 4, 4), [](DdsLayout& s) { s.arraySize = 0xffffffffu; }), Pattern(64)), E::Truncated},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    d3dx::DdsImage image;
    image.levelCount = 77;
    EXPECT_EQ(d3dx::ParseDds(c.bytes.data(), c.bytes.size(), &image), c.error);
    EXPECT_EQ(image.levelCount, 77u) << "output touched on failure";
  }
}

// D3DX loads the first face of a cube map and the first slice of each level
// of a volume; the rest of the file must be there all the same.
TEST(DdsParser, CubeMapsAndVolumesGiveTheirFirstImage) {
  DdsLayout cube = FourCC(D3DFMT_DXT1, 8, 8, 2);
  cube.caps2 = 0x200 | 0xfc00;
  const std::vector<uint8_t> cubeFile = WriteDds(cube, Pattern(6 * (32 + 8)));
  d3dx::DdsImage image;
  ASSERT_EQ(d3dx::ParseDds(cubeFile.data(), cubeFile.size(), &image), d3dx::DdsError::None);
  EXPECT_EQ(image.type, D3DRTYPE_CUBETEXTURE);
  ASSERT_EQ(image.levelCount, 2u);
  EXPECT_EQ(image.levels[0].data, cubeFile.data() + 128);
  EXPECT_EQ(image.levels[1].data, cubeFile.data() + 128 + 32);

  // 4x4x4 A8: levels of 64, 8 and 1 bytes; the 2D levels are their first slices.
  DdsLayout volume = A8(4, 4, 3);
  volume.caps2 = 0x200000;
  volume.depth = 4;
  const std::vector<uint8_t> volumeFile = WriteDds(volume, Pattern(64 + 8 + 1));
  ASSERT_EQ(d3dx::ParseDds(volumeFile.data(), volumeFile.size(), &image), d3dx::DdsError::None);
  EXPECT_EQ(image.type, D3DRTYPE_VOLUMETEXTURE);
  ASSERT_EQ(image.levelCount, 3u);
  EXPECT_EQ(image.levels[1].data, volumeFile.data() + 128 + 64);
  EXPECT_EQ(image.levels[1].size, 4u);
  EXPECT_EQ(image.levels[2].data, volumeFile.data() + 128 + 64 + 8);
}

TEST(DdsParser, TruncationNamesTheFirstLevelThatDoesNotFit) {
  const std::vector<uint8_t> file = WriteDds(FourCC(D3DFMT_DXT1, 16, 16, 5), Pattern(128 + 32 + 4));
  d3dx::DdsImage image;
  ASSERT_EQ(d3dx::ParseDds(file.data(), file.size(), &image), d3dx::DdsError::Truncated);
  EXPECT_EQ(image.failedLevel, 2u);
}

}  // namespace
