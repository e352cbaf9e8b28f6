// ostrevin.ico for the Windows resource script: eight classic BMP-in-ICO
// images (4, 8 and 32 bits per pixel, each with its AND mask) drawn by the
// shared artwork, plus ostrevin-48.rgba, the raw 48x48 image, and
// ostrevin-48.inc, the same bytes as a C initialiser list for the program's
// Linux resource table.
#include <stdint.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assetgen/Generators.h"
#include "assetgen/IconArt.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

// The standard 16-colour palette.
constexpr Rgb kPalette16[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}};

// The fixed 256-colour palette: the 16 standard colours, a 6x6x6 colour cube
// and a 24-step grey ramp.
std::vector<Rgb> Palette256() {
  std::vector<Rgb> p(kPalette16, kPalette16 + 16);
  static const uint8_t kLevels[6] = {0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF};
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p.push_back({kLevels[r], kLevels[g], kLevels[b]});
  for (int i = 0; i < 24; ++i) {
    const uint8_t v = static_cast<uint8_t>(8 + 10 * i);
    p.push_back({v, v, v});
  }
  return p;
}

int Nearest(const std::vector<Rgb>& palette, const uint8_t* px) {
  int best = 0;
  long bestDistance = -1;
  for (size_t i = 0; i < palette.size(); ++i) {
    // Weighted for the eye: green counts most, blue least.
    const long dr = long(px[0]) - palette[i].r, dg = long(px[1]) - palette[i].g, db = long(px[2]) - palette[i].b;
    const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

void Put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

size_t RowBytes(int width, int bits) { return ((static_cast<size_t>(width) * bits + 31) / 32) * 4; }

// One icon image: BITMAPINFOHEADER (height doubled for the mask), palette,
// bottom-up colour rows, bottom-up AND mask (1 = transparent).
std::vector<uint8_t> EncodeImage(int size, int bits) {
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
  DrawOstrevinIcon(size, rgba.data());
  std::vector<Rgb> palette;
  if (bits == 4) palette.assign(kPalette16, kPalette16 + 16);
  if (bits == 8) palette = Palette256();

  const size_t colourRow = RowBytes(size, bits), maskRow = RowBytes(size, 1);
  std::vector<uint8_t> out;
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(size));
  Put32(out, static_cast<uint32_t>(size * 2));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0);  // BI_RGB
  Put32(out, static_cast<uint32_t>((colourRow + maskRow) * size));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (const Rgb& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(colourRow, 0);
    for (int x = 0; x < size; ++x) {
      const uint8_t* px = &rgba[(static_cast<size_t>(y) * size + x) * 4];
      if (bits == 32) {
        row[x * 4 + 0] = px[2];
        row[x * 4 + 1] = px[1];
        row[x * 4 + 2] = px[0];
        row[x * 4 + 3] = px[3];
        continue;
      }
      // Palette images have no partial transparency: the mask decides.
      int index = 0;
      if (px[3] >= 128) {
        if (bits == 4) {
          // 16 colours have no orange: an ordered dither mixes it from red
          // and yellow. The dark square stays plain black.
          static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
          const int offset = (kBayer[y % 4][x % 4] * 2 - 15) * 4;
          uint8_t shifted[3];
          for (int k = 0; k < 3; ++k) {
            const int v = px[k] + offset;
            shifted[k] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
          }
          const bool dark = px[0] < 100 && px[1] < 100 && px[2] < 100;
          index = dark ? 0 : Nearest(palette, shifted);
        } else {
          index = Nearest(palette, px);
        }
      }
      if (bits == 8) {
        row[x] = static_cast<uint8_t>(index);
      } else {
        row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRow, 0);
    for (int x = 0; x < size; ++x) {
      if (rgba[(static_cast<size_t>(y) * size + x) * 4 + 3] < 128) {
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// Decimal bytes, comma-separated, 16 to a line.
std::vector<uint8_t> InitialiserList(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    text += std::to_string(bytes[i]);
    text += (i + 1) % 16 == 0 || i + 1 == bytes.size() ? ",\n" : ", ";
  }
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.string().c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int GenerateIcons(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  struct Entry {
    int size, bits;
  };
  static const Entry kEntries[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};
  constexpr size_t kCount = sizeof(kEntries) / sizeof(kEntries[0]);

  std::vector<std::vector<uint8_t>> images;
  for (const Entry& e : kEntries) images.push_back(EncodeImage(e.size, e.bits));

  std::vector<uint8_t> ico;
  Put16(ico, 0);  // reserved
  Put16(ico, 1);  // icon
  Put16(ico, kCount);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * kCount);
  for (size_t i = 0; i < kCount; ++i) {
    ico.push_back(static_cast<uint8_t>(kEntries[i].size));
    ico.push_back(static_cast<uint8_t>(kEntries[i].size));
    ico.push_back(kEntries[i].bits == 4 ? 16 : 0);  // colours in the palette; 0 for 256 or more
    ico.push_back(0);
    Put16(ico, 1);
    Put16(ico, static_cast<unsigned>(kEntries[i].bits));
    Put32(ico, static_cast<uint32_t>(images[i].size()));
    Put32(ico, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) ico.insert(ico.end(), image.begin(), image.end());

  std::vector<uint8_t> rgba(48 * 48 * 4);
  DrawOstrevinIcon(48, rgba.data());

  const std::filesystem::path base(dir);
  if (!WriteFile(base / "ostrevin.ico", ico) || !WriteFile(base / "ostrevin-48.rgba", rgba) ||
      !WriteFile(base / "ostrevin-48.inc", InitialiserList(rgba))) {
    return 1;
  }
  return 0;
}
