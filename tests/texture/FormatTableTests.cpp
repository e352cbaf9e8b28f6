// The format table against its readers: every format a DDS header can name
// is one the pixel converters read and write, and a format without DDS
// naming is refused by the parser even when its number is in the FourCC.
#include <gtest/gtest.h>

#include "platform/d3dx9/texture/Dds.h"
#include "platform/d3dx9/texture/Pixels.h"
#include "platform/formats/TextureLayout.h"
#include "texture/DdsWriter.h"

namespace {

namespace formats = ostrevin::formats;

TEST(FormatTable, EveryDdsFormatConvertsBothWays) {
  for (const formats::FormatInfo& info : formats::kFormats) {
    if (info.dds == formats::DdsNaming::None) continue;
    SCOPED_TRACE(info.format);
    const UINT w = 6, h = 5;
    const std::vector<uint8_t> bytes = texture_test::Pattern(static_cast<size_t>(formats::LevelBytes(info.format, w, h)));
    d3dx::RgbaImage image;
    ASSERT_TRUE(d3dx::DecodeLevel(info.format, bytes.data(), bytes.size(), w, h, &image));
    EXPECT_EQ(d3dx::EncodeLevel(info.format, image).size(), bytes.size());
  }
}

TEST(FormatTable, DdsRefusesFormatsItCannotName) {
  for (const formats::FormatInfo& info : formats::kFormats) {
    const std::vector<uint8_t> file =
        texture_test::WriteDds(texture_test::FourCC(info.format, 4, 4),
                               texture_test::Pattern(static_cast<size_t>(formats::LevelBytes(info.format, 4, 4))));
    d3dx::DdsImage image;
    const d3dx::DdsError error = d3dx::ParseDds(file.data(), file.size(), &image);
    EXPECT_EQ(error == d3dx::DdsError::None, info.dds != formats::DdsNaming::None) << info.format;
  }
}

}  // namespace
