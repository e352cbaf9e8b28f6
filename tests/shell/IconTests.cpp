// ostrevin.ico as tools/assetgen writes it for the Windows resources, and
// the program's icon table for Linux.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ProgramResources.h"
#include "app/resource.h"
#include "assetgen/Generators.h"
#include "assetgen/IconArt.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<size_t>(i));
  return v;
}

TEST(Icons, IcoHoldsEightClassicImages) {
  char dir[] = "/tmp/shell-icons-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  ASSERT_EQ(GenerateIcons(std::string(dir) + "/a"), 0);
  ASSERT_EQ(GenerateIcons(std::string(dir) + "/b"), 0);
  const std::vector<uint8_t> ico = ReadBytes(std::string(dir) + "/a/ostrevin.ico");
  EXPECT_EQ(ico, ReadBytes(std::string(dir) + "/b/ostrevin.ico")) << "deterministic";

  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(Le(ico, 0, 2), 0u);
  EXPECT_EQ(Le(ico, 2, 2), 1u);
  ASSERT_EQ(Le(ico, 4, 2), 8u);
  const struct {
    uint32_t size, bits;
  } expected[8] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};
  size_t end = 6 + 16 * 8;
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const size_t e = 6 + 16 * static_cast<size_t>(i);
    const uint32_t size = expected[i].size, bits = expected[i].bits;
    EXPECT_EQ(Le(ico, e, 1), size);
    EXPECT_EQ(Le(ico, e + 1, 1), size);
    EXPECT_EQ(Le(ico, e + 2, 1), bits == 4 ? 16u : 0u);
    EXPECT_EQ(Le(ico, e + 4, 2), 1u);
    EXPECT_EQ(Le(ico, e + 6, 2), bits);
    const uint32_t bytes = Le(ico, e + 8, 4), offset = Le(ico, e + 12, 4);
    EXPECT_EQ(offset, end) << "images follow one another";
    const uint32_t palette = bits == 32 ? 0 : (1u << bits) * 4;
    const uint32_t colourRow = (size * bits + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
    ASSERT_EQ(bytes, 40 + palette + (colourRow + maskRow) * size);
    ASSERT_LE(uint64_t(offset) + bytes, ico.size());
    EXPECT_EQ(Le(ico, offset, 4), 40u);
    EXPECT_EQ(Le(ico, offset + 4, 4), size);
    EXPECT_EQ(Le(ico, offset + 8, 4), size * 2) << "colour and mask";
    EXPECT_EQ(Le(ico, offset + 14, 2), bits);
    EXPECT_EQ(Le(ico, offset + 16, 4), 0u) << "BI_RGB";
    // The top-left corner is outside the rounded square: masked out.
    const size_t maskTopRow = offset + 40 + palette + colourRow * size + maskRow * (size - 1);
    EXPECT_EQ(ico[maskTopRow] & 0x80, 0x80);
    // The centre row is inside: not all masked.
    const size_t maskMiddle = offset + 40 + palette + colourRow * size + maskRow * (size / 2);
    EXPECT_NE(ico[maskMiddle + size / 16], 0xFF);
    end = offset + bytes;
  }
  EXPECT_EQ(end, ico.size());

  // The raw image the Linux window icon shows is the same artwork.
  std::vector<uint8_t> rgba(48 * 48 * 4);
  DrawOstrevinIcon(48, rgba.data());
  EXPECT_EQ(ReadBytes(std::string(dir) + "/a/ostrevin-48.rgba"), rgba);
  EXPECT_EQ(rgba[3], 0) << "transparent corner";
  EXPECT_EQ(rgba[(24 * 48 + 24) * 4 + 3], 255) << "opaque centre";
  std::filesystem::remove_all(dir);
}

// Both icon ids carry the artwork at 48x48, as the .ico's groups do.
TEST(Icons, ProgramTableCarriesTheArtwork) {
  std::vector<uint8_t> rgba(48 * 48 * 4);
  DrawOstrevinIcon(48, rgba.data());
  const ostrevin::win32::IconResource* table = ostrevin::win32::kProgramIcons;
  const int ids[] = {IDI_OSTREVIN, IDI_SMALL};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(table[i].id, ids[i]);
    ASSERT_EQ(table[i].size, 48);
    EXPECT_EQ(std::vector<uint8_t>(table[i].rgba, table[i].rgba + rgba.size()), rgba);
  }
  EXPECT_EQ(table[2].id, 0);
}

}  // namespace
