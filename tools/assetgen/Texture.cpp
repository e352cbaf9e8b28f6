// panel-01-diff.dds: the demo's diffuse texture, 512x512 DXT1 with its full
// mip chain. Brushed grey-blue metal plates in a staggered layout, dark
// seams with a lit and a shadowed lip, domed rivets along the seams, grime
// gathering near the seams and a fine grain. Everything comes from an
// integer hash, so the bytes are the same on every run; the layout wraps
// at the edges so the texture tiles.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assetgen/Generators.h"

#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

namespace {

constexpr int kSize = 512;
constexpr int kLevels = 10;  // 512 .. 1

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

uint32_t Hash3(uint32_t a, uint32_t b, uint32_t c) { return Hash(a * 0x9e3779b9U ^ Hash(b * 0x85ebca6bU ^ Hash(c))); }

// Uniform in [0, 1).
float Unit(uint32_t h) { return static_cast<float>(h >> 8) / 16777216.0f; }

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

// Value noise on a lattice of cellsX x cellsY cells over the texture, which
// wraps at the texture's edges; `seed` picks an independent field.
float ValueNoise(float u, float v, int cellsX, int cellsY, uint32_t seed) {
  const float x = u * static_cast<float>(cellsX), y = v * static_cast<float>(cellsY);
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const float fx = Smooth(x - static_cast<float>(x0)), fy = Smooth(y - static_cast<float>(y0));
  auto at = [&](int i, int j) {
    const uint32_t wi = static_cast<uint32_t>(((i % cellsX) + cellsX) % cellsX);
    const uint32_t wj = static_cast<uint32_t>(((j % cellsY) + cellsY) % cellsY);
    return Unit(Hash3(wi, wj, seed));
  };
  const float a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

float Fbm(float u, float v, int cells, uint32_t seed) {
  float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
  for (int octave = 0; octave < 4; ++octave) {
    sum += amplitude * ValueNoise(u, v, cells << octave, cells << octave, seed + static_cast<uint32_t>(octave));
    total += amplitude;
    amplitude *= 0.5f;
  }
  return sum / total;
}

// Plate layout: two rows of 256 pixels; the top row is cut at x = 0 and 320,
// the bottom row at x = 0, 160 and 384 (staggered like laid sheet metal).
struct Plate {
  int id;
  int x0, x1, y0, y1;  // x1 may pass kSize: the plate wraps
};

const Plate kPlates[] = {
    {0, 0, 320, 0, 256}, {1, 320, 512, 0, 256}, {2, 0, 160, 256, 512}, {3, 160, 384, 256, 512}, {4, 384, 512, 256, 512},
};

const Plate& PlateAt(int x, int y) {
  for (const Plate& p : kPlates) {
    if (x >= p.x0 && x < p.x1 && y >= p.y0 && y < p.y1) return p;
  }
  return kPlates[0];
}

struct Color {
  float r, g, b;
};

Color Shade(int px, int py) {
  const float x = static_cast<float>(px) + 0.5f, y = static_cast<float>(py) + 0.5f;
  const float u = x / kSize, v = y / kSize;
  const Plate& plate = PlateAt(px, py);
  const uint32_t pid = static_cast<uint32_t>(plate.id);

  // Base tone: grey-blue, each plate a little different.
  const float tone = (Unit(Hash3(pid, 1, 7)) - 0.5f) * 0.10f;
  const float tint = Unit(Hash3(pid, 2, 7)) * 0.035f;
  Color c{0.47f + tone - tint, 0.505f + tone, 0.55f + tone + tint};

  // Brushing: streaks stretched along the plate's grain, which alternates.
  const bool horizontal = (plate.id % 2) == 0;
  const float along = horizontal ? u : v, across = horizontal ? v : u;
  const float streak = ValueNoise(along, across, 6, 384, 100 + pid) * 0.6f +
                       ValueNoise(along, across, 24, 1024, 200 + pid) * 0.4f;
  float brightness = 1.0f + (streak - 0.5f) * 0.16f;

  // Fine grain, and broad cloudy variation.
  brightness += (Unit(Hash3(static_cast<uint32_t>(px), static_cast<uint32_t>(py), 300)) - 0.5f) * 0.05f;
  brightness += (Fbm(u, v, 4, 400) - 0.5f) * 0.12f;

  // Distances to the plate's four edges (seams).
  const float dl = x - static_cast<float>(plate.x0), dr = static_cast<float>(plate.x1) - x;
  const float dt = y - static_cast<float>(plate.y0), db = static_cast<float>(plate.y1) - y;
  const float edge = std::min(std::min(dl, dr), std::min(dt, db));

  // Grime: darker towards the seams and in blotches.
  const float blotch = Fbm(u + 0.37f, v + 0.11f, 8, 500);
  const float nearSeam = std::exp(-edge / 14.0f);
  const float grime = std::clamp(nearSeam * 0.55f + std::max(0.0f, blotch - 0.55f) * 1.4f, 0.0f, 0.6f);
  brightness *= 1.0f - grime * 0.45f;
  // Grime is slightly warm/brown.
  c.r += grime * 0.01f;
  c.b -= grime * 0.02f;

  // Lips of each plate, lit from the top left: bright on top/left edges,
  // shadowed on bottom/right, and the seam itself a dark groove.
  if (edge < 1.5f) {
    brightness *= 0.25f;
  } else if (edge < 4.0f) {
    const float lip = 1.0f - (edge - 1.5f) / 2.5f;
    if (dl == edge || dt == edge) brightness *= 1.0f + 0.35f * lip;
    else brightness *= 1.0f - 0.40f * lip;
  }

  // Rivets: every 32 pixels along each seam, 9 pixels in from it.
  constexpr float kInset = 9.0f, kSpacing = 32.0f, kRadius = 4.2f;
  float best = 1e9f, bx = 0.0f, by = 0.0f;
  auto consider = [&](float cx, float cy) {
    const float d = std::hypot(x - cx, y - cy);
    if (d < best) {
      best = d;
      bx = cx;
      by = cy;
    }
  };
  const float width = static_cast<float>(plate.x1 - plate.x0), height = static_cast<float>(plate.y1 - plate.y0);
  const int alongX = static_cast<int>(std::round((width - 2 * kInset) / kSpacing));
  const int alongY = static_cast<int>(std::round((height - 2 * kInset) / kSpacing));
  const float stepX = (width - 2 * kInset) / static_cast<float>(alongX);
  const float stepY = (height - 2 * kInset) / static_cast<float>(alongY);
  const int ix = static_cast<int>(std::round((x - plate.x0 - kInset) / stepX));
  const int iy = static_cast<int>(std::round((y - plate.y0 - kInset) / stepY));
  for (int k = std::max(0, ix - 1); k <= std::min(alongX, ix + 1); ++k) {
    const float cx = static_cast<float>(plate.x0) + kInset + stepX * static_cast<float>(k);
    consider(cx, static_cast<float>(plate.y0) + kInset);
    consider(cx, static_cast<float>(plate.y1) - kInset);
  }
  for (int k = std::max(0, iy - 1); k <= std::min(alongY, iy + 1); ++k) {
    const float cy = static_cast<float>(plate.y0) + kInset + stepY * static_cast<float>(k);
    consider(static_cast<float>(plate.x0) + kInset, cy);
    consider(static_cast<float>(plate.x1) - kInset, cy);
  }
  if (best < kRadius) {
    // Dome: normal from the sphere, light from the top left.
    const float nx = (x - bx) / kRadius, ny = (y - by) / kRadius;
    const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
    const float lx = -0.45f, ly = -0.55f, lz = 0.70f;
    const float lambert = std::max(0.0f, nx * lx + ny * ly + nz * lz);
    const float specular = std::pow(std::max(0.0f, 2.0f * nz * (nx * lx + ny * ly + nz * lz) - lz), 12.0f);
    brightness = 0.45f + 0.75f * lambert + 0.55f * specular;
    brightness *= 1.0f - 0.25f * grime;
  } else {
    // Shadow cast to the bottom right, and a thin dark ring.
    const float sx = x - bx - 1.6f, sy = y - by - 1.6f;
    const float shadow = std::hypot(sx, sy);
    if (shadow < kRadius + 1.0f) brightness *= 0.55f + 0.45f * std::clamp((shadow - kRadius + 1.5f) / 2.5f, 0.0f, 1.0f);
    if (best < kRadius + 0.9f) brightness *= 0.7f;
  }

  return Color{c.r * brightness, c.g * brightness, c.b * brightness};
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::clamp(std::lround(v * 255.0f), 0L, 255L)); }

std::vector<uint8_t> Render() {
  std::vector<uint8_t> rgba(static_cast<size_t>(kSize) * kSize * 4);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const Color c = Shade(x, y);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * kSize + x) * 4];
      p[0] = ToByte(c.r);
      p[1] = ToByte(c.g);
      p[2] = ToByte(c.b);
      p[3] = 255;
    }
  }
  return rgba;
}

std::vector<uint8_t> Downsample(const std::vector<uint8_t>& rgba, int size) {
  const int half = std::max(1, size / 2);
  std::vector<uint8_t> out(static_cast<size_t>(half) * half * 4);
  for (int y = 0; y < half; ++y) {
    for (int x = 0; x < half; ++x) {
      for (int c = 0; c < 4; ++c) {
        auto at = [&](int sx, int sy) { return static_cast<int>(rgba[(static_cast<size_t>(sy) * size + sx) * 4 + c]); };
        const int sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
        out[(static_cast<size_t>(y) * half + x) * 4 + c] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  return out;
}

void CompressDxt1(const std::vector<uint8_t>& rgba, int size, std::vector<uint8_t>* out) {
  const int blocks = std::max(1, (size + 3) / 4);
  unsigned char block[16 * 4];
  unsigned char packed[8];
  for (int by = 0; by < blocks; ++by) {
    for (int bx = 0; bx < blocks; ++bx) {
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
          const int sx = std::min(bx * 4 + x, size - 1), sy = std::min(by * 4 + y, size - 1);
          std::copy_n(&rgba[(static_cast<size_t>(sy) * size + sx) * 4], 4, &block[(y * 4 + x) * 4]);
        }
      }
      stb_compress_dxt_block(packed, block, 0, STB_DXT_HIGHQUAL);
      out->insert(out->end(), packed, packed + 8);
    }
  }
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> DdsHeader() {
  std::vector<uint8_t> h;
  Put32(&h, 0x20534444);  // "DDS "
  Put32(&h, 124);
  Put32(&h, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000);  // caps, height, width, pixel format, mip count, linear size
  Put32(&h, kSize);
  Put32(&h, kSize);
  Put32(&h, (kSize / 4) * (kSize / 4) * 8);  // bytes of the top level
  Put32(&h, 0);                              // depth
  Put32(&h, kLevels);
  for (int i = 0; i < 11; ++i) Put32(&h, 0);
  Put32(&h, 32);                              // pixel format size
  Put32(&h, 0x4);                             // FourCC
  Put32(&h, 0x31545844);                      // "DXT1"
  for (int i = 0; i < 5; ++i) Put32(&h, 0);   // bit count, masks
  Put32(&h, 0x1000 | 0x400000 | 0x8);         // texture, mipmap, complex
  for (int i = 0; i < 4; ++i) Put32(&h, 0);   // caps2..4, reserved
  return h;
}

}  // namespace

int GenerateTexture(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::vector<uint8_t> file = DdsHeader();
  std::vector<uint8_t> level = Render();
  for (int i = 0, size = kSize; i < kLevels; ++i, size = std::max(1, size / 2)) {
    CompressDxt1(level, size, &file);
    if (i + 1 < kLevels) level = Downsample(level, size);
  }
  const std::string path = (std::filesystem::path(dir) / "panel-01-diff.dds").string();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return 1;
  }
  const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !ok) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
