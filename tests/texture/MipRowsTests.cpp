// MipRows against a whole-level reference written plainly here: every level
// below a level of bytes, halved in 8.8 fixed point and encoded, must come
// out byte for byte as if each level were filtered whole and encoded whole,
// for row and block formats, for levels one pixel wide or high, and from a
// source in B, G, R, A order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/d3dx9/texture/MipRows.h"
#include "platform/d3dx9/texture/Pixels8.h"
#include "platform/formats/TextureLayout.h"

namespace {

namespace formats = ostrevin::formats;

// The next level in 8.8 of `w` x `h` pixels of samples `src` (bytes when
// `first`): 2x2 averages, or pairs along the one dimension above 1.
std::vector<uint16_t> HalveWhole(const std::vector<uint16_t>& src, UINT w, UINT h, bool first) {
  const UINT nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
  const UINT sx = w > 1 ? 2 : 1, sy = h > 1 ? 2 : 1;
  std::vector<uint16_t> out(static_cast<size_t>(nw) * nh * 4);
  for (UINT y = 0; y < nh; ++y) {
    for (UINT x = 0; x < nw; ++x) {
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (UINT dy = 0; dy < sy; ++dy)
          for (UINT dx = 0; dx < sx; ++dx) sum += src[((static_cast<size_t>(y) * sy + dy) * w + x * sx + dx) * 4 + c];
        const unsigned n = sx * sy;
        uint16_t v;
        if (first) {
          v = static_cast<uint16_t>(sum * 256 / n);  // exact from bytes
        } else {
          v = static_cast<uint16_t>(n == 4 ? (sum + 2) >> 2 : n == 2 ? (sum + 1) >> 1 : sum);
        }
        out[(static_cast<size_t>(y) * nw + x) * 4 + c] = v;
      }
    }
  }
  return out;
}

struct Case {
  D3DFORMAT format;
  UINT width, height;
};

TEST(MipRows, EveryLevelIsTheWholeLevelFilteredAndEncoded) {
  const Case cases[] = {
      {D3DFMT_A8R8G8B8, 16, 8}, {D3DFMT_X8R8G8B8, 1, 8},  {D3DFMT_A8R8G8B8, 8, 1}, {D3DFMT_L8, 32, 32},
      {D3DFMT_A8L8, 4, 16},     {D3DFMT_DXT1, 64, 16},    {D3DFMT_DXT5, 8, 32},    {D3DFMT_DXT1, 16, 2},
      {D3DFMT_DXT3, 1, 16},     {D3DFMT_A8R8G8B8, 2, 2},  {D3DFMT_DXT1, 2, 1},
  };
  std::mt19937 random(11);
  for (const Case& c : cases) {
    for (const bool bgra : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.format << " " << c.width << "x" << c.height << (bgra ? " bgra" : ""));
      std::vector<uint8_t> source(static_cast<size_t>(c.width) * c.height * 4);
      for (uint8_t& b : source) b = static_cast<uint8_t>(random());
      // The reference reads R, G, B, A; a B, G, R, A source is the same
      // pixels with R and B swapped.
      std::vector<uint16_t> level(source.begin(), source.end());
      if (bgra)
        for (size_t i = 0; i < level.size(); i += 4) std::swap(level[i], level[i + 2]);

      const UINT count = formats::FullChainLength(c.width, c.height) - 1;
      std::vector<std::vector<uint8_t>> got(count), expected(count);
      std::vector<d3dx::MipRows::Target> targets;
      UINT w = c.width, h = c.height;
      bool first = true;
      for (UINT i = 0; i < count; ++i) {
        level = HalveWhole(level, w, h, first);
        first = false;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
        const size_t pitch = static_cast<size_t>(formats::RowBytes(c.format, w));
        expected[i].assign(static_cast<size_t>(formats::LevelBytes(c.format, w, h)), 0);
        d3dx::EncodeRows(c.format, level.data(), w, h, expected[i].data(), pitch);
        got[i].assign(expected[i].size(), 0xCD);
        targets.push_back({got[i].data(), pitch});
      }
      d3dx::MipRows mips(c.format, c.width, c.height, bgra, targets.data());
      // A row of blocks at a time, as the loader feeds a DXT file's level.
      const UINT step = std::min(c.height, 4u);
      for (UINT y = 0; y < c.height; y += step)
        mips.PushSourceRows(source.data() + static_cast<size_t>(y) * c.width * 4, std::min(step, c.height - y),
                            static_cast<size_t>(c.width) * 4);
      for (UINT i = 0; i < count; ++i) EXPECT_EQ(got[i], expected[i]) << "level " << i + 1;
    }
  }
}

}  // namespace
