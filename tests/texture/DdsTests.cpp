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
    size_t offset = d3dx::kDdsDataOffset;
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
      {"unknown FourCC", WriteDds(FourCC(MAKEFOURCC('A', 'T', 'I', '2'), 4, 4), Pattern(16)), E::UnsupportedFormat},
      {"24-bit RGB", WriteDds(Rgb(24, 0xff0000, 0xff00, 0xff, 0, 4, 4), Pattern(48)), E::UnsupportedFormat},
      {"BGRA masks", WriteDds(Rgb(32, 0xff, 0xff00, 0xff0000, 0xff000000, 4, 4), Pattern(64)), E::UnsupportedFormat},
      {"DX10 header", WriteDds(FourCC(MAKEFOURCC('D', 'X', '1', '0'), 4, 4), Pattern(64)), E::NotTexture2D},
      {"cube map", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) { s.caps2 = 0x200 | 0xfc00; }), Pattern(48)),
       E::NotTexture2D},
      {"volume", WriteDds(with(FourCC(D3DFMT_DXT1, 4, 4), [](DdsLayout& s) {
         s.caps2 = 0x200000;
         s.flags |= 0x800000;
         s.depth = 4;
       }), Pattern(32)),
       E::NotTexture2D},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    d3dx::DdsImage image;
    image.levelCount = 77;
    EXPECT_EQ(d3dx::ParseDds(c.bytes.data(), c.bytes.size(), &image), c.error);
    EXPECT_EQ(image.levelCount, 77u) << "output touched on failure";
  }
}

}  // namespace
