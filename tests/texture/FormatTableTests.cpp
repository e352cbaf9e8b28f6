// The format table against its readers: every format the converters read
// survives a decode and encode, and every row is found by the parser both
// by its D3DFORMAT number in the FourCC field and, where it has them, by its
// masks.
#include <gtest/gtest.h>

#include "platform/d3dx9/texture/Dds.h"
#include "platform/d3dx9/texture/Pixels.h"
#include "platform/formats/TextureLayout.h"
#include "texture/DdsWriter.h"

namespace {

namespace formats = ostrevin::formats;

TEST(FormatTable, EveryFormatConvertsBothWays) {
  for (const formats::FormatInfo& info : formats::AllFormats()) {
    if (!d3dx::CanConvert(info.format)) continue;
    SCOPED_TRACE(info.name);
    const UINT w = 6, h = 5;
    const std::vector<uint8_t> bytes = texture_test::Pattern(static_cast<size_t>(formats::LevelBytes(info.format, w, h)));
    d3dx::RgbaImage image;
    ASSERT_TRUE(d3dx::DecodeLevel(info.format, bytes.data(), bytes.size(), w, h, &image));
    const std::vector<uint8_t> encoded = d3dx::EncodeLevel(info.format, image);
    ASSERT_EQ(encoded.size(), bytes.size());
    // Fields of up to 16 bits come back as they were decoded.
    d3dx::RgbaImage again;
    ASSERT_TRUE(d3dx::DecodeLevel(info.format, encoded.data(), encoded.size(), w, h, &again));
    if (!info.compressed && info.layout != formats::Layout::Signed && info.layout != formats::Layout::Float &&
        info.layout != formats::Layout::Half) {
      EXPECT_EQ(again.pixels, image.pixels);
    }
  }
}

TEST(FormatTable, DdsFindsEveryRowByNumberAndByMasks) {
  for (const formats::FormatInfo& info : formats::AllFormats()) {
    SCOPED_TRACE(info.name);
    const std::vector<uint8_t> level = texture_test::Pattern(static_cast<size_t>(formats::LevelBytes(info.format, 4, 4)));
    d3dx::DdsImage image;
    const std::vector<uint8_t> byNumber = texture_test::WriteDds(texture_test::FourCC(info.format, 4, 4), level);
    ASSERT_EQ(d3dx::ParseDds(byNumber.data(), byNumber.size(), &image), d3dx::DdsError::None);
    EXPECT_EQ(image.format, info.format);
    if (info.dds == formats::DdsNaming::FourCC) continue;
    const uint32_t flag = info.dds == formats::DdsNaming::Rgb         ? 0x40
                          : info.dds == formats::DdsNaming::Luminance ? 0x20000
                          : info.dds == formats::DdsNaming::Alpha     ? 0x2
                                                                      : 0x80000;
    const formats::DdsMasks& m = info.ddsMasks;
    const std::vector<uint8_t> byMasks =
        texture_test::WriteDds(texture_test::Masks(flag, m.bitCount, m.r, m.g, m.b, m.a, 4, 4), level);
    ASSERT_EQ(d3dx::ParseDds(byMasks.data(), byMasks.size(), &image), d3dx::DdsError::None);
    EXPECT_EQ(image.format, info.format);
  }
}

}  // namespace
