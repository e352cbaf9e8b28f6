#include "TextureInputs.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

namespace {

// xorshift32: the same noise on every run and machine.
struct Noise {
  uint32_t state;
  int Next(int amplitude) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<int>(state % static_cast<uint32_t>(2 * amplitude + 1)) - amplitude;
  }
};

// A photo-like picture: per channel, waves along x, along y and along the
// diagonal (tables, so that a 32-megapixel picture is quick to make), plus
// noise of +-4 levels (a camera's grain). `channels` 3 or 4 (alpha opaque).
std::vector<uint8_t> Picture(int width, int height, int channels, uint32_t seed) {
  std::vector<float> along[3][3];
  for (int c = 0; c < 3; ++c) {
    along[c][0].resize(width);
    along[c][1].resize(height);
    along[c][2].resize(width + height);
    const float phase = 1.7f * static_cast<float>(c);
    for (int x = 0; x < width; ++x) along[c][0][x] = 45.0f * std::sin(6.0f * x / width + phase);
    for (int y = 0; y < height; ++y) along[c][1][y] = 35.0f * std::cos(4.5f * y / height + 2.0f * phase);
    for (int d = 0; d < width + height; ++d) along[c][2][d] = 20.0f * std::sin(40.0f * d / (width + height) + phase);
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * channels);
  Noise noise{seed};
  uint8_t* p = pixels.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int v = 128 + static_cast<int>(along[c][0][x] + along[c][1][y] + along[c][2][x + y]) + noise.Next(4);
        *p++ = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
      if (channels == 4) *p++ = 255;
    }
  }
  return pixels;
}

// Halves an RGBA picture (2x2 average).
std::vector<uint8_t> Half(const std::vector<uint8_t>& src, int width, int height) {
  const int w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
  std::vector<uint8_t> dst(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 4; ++c) {
        const int x1 = width > 1 ? 2 * x + 1 : 0, y1 = height > 1 ? 2 * y + 1 : 0;
        const int sum = src[(static_cast<size_t>(2 * y) * width + 2 * x) * 4 + c] +
                        src[(static_cast<size_t>(2 * y) * width + x1) * 4 + c] +
                        src[(static_cast<size_t>(y1) * width + 2 * x) * 4 + c] +
                        src[(static_cast<size_t>(y1) * width + x1) * 4 + c];
        dst[(static_cast<size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  return dst;
}

// DXT1 blocks of an RGBA picture whose sides are multiples of 4 (or below 4:
// edge pixels repeated).
void AppendDxt1(const std::vector<uint8_t>& rgba, int width, int height, std::vector<uint8_t>* out) {
  for (int by = 0; by < height; by += 4) {
    for (int bx = 0; bx < width; bx += 4) {
      uint8_t block[64];
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
          const int sx = bx + x < width ? bx + x : width - 1, sy = by + y < height ? by + y : height - 1;
          std::memcpy(block + (y * 4 + x) * 4, &rgba[(static_cast<size_t>(sy) * width + sx) * 4], 4);
        }
      }
      uint8_t encoded[8];
      stb_compress_dxt_block(encoded, block, 0, STB_DXT_NORMAL);
      out->insert(out->end(), encoded, encoded + 8);
    }
  }
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A DXT1 DDS of size x size, with its full mip chain or the top level only.
std::vector<uint8_t> Dds(int size, bool mips, uint32_t seed) {
  int levels = 1;
  if (mips) {
    for (int s = size; s > 1; s /= 2) ++levels;
  }
  std::vector<uint8_t> file;
  Put32(&file, 0x20534444);  // "DDS "
  Put32(&file, 124);
  Put32(&file, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000 | (mips ? 0x20000 : 0));  // CAPS HEIGHT WIDTH PIXELFORMAT LINEARSIZE MIPMAPCOUNT
  Put32(&file, static_cast<uint32_t>(size));
  Put32(&file, static_cast<uint32_t>(size));
  Put32(&file, static_cast<uint32_t>(size / 4 * size / 4 * 8));
  Put32(&file, 0);
  Put32(&file, static_cast<uint32_t>(levels));
  for (int i = 0; i < 11; ++i) Put32(&file, 0);
  Put32(&file, 32);
  Put32(&file, 0x4);  // DDPF_FOURCC
  Put32(&file, 0x31545844);  // "DXT1"
  for (int i = 0; i < 5; ++i) Put32(&file, 0);
  Put32(&file, 0x1000 | (mips ? 0x8 | 0x400000 : 0));  // TEXTURE (COMPLEX MIPMAP)
  for (int i = 0; i < 4; ++i) Put32(&file, 0);
  std::vector<uint8_t> level = Picture(size, size, 4, seed);
  int s = size;
  for (int i = 0; i < levels; ++i) {
    AppendDxt1(level, s, s, &file);
    if (i + 1 < levels) {
      level = Half(level, s, s);
      s /= 2;
    }
  }
  return file;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

bool MakeTextureInputs(const std::string& dir, std::vector<TextureInput>* inputs) {
  inputs->clear();
  auto failed = [](const std::string& path) {
    std::fprintf(stderr, "bench_texture_load: cannot write %s\n", path.c_str());
    return false;
  };
  {
    const std::string path = dir + "/photo-4096.png";
    std::vector<uint8_t> rgb = Picture(4096, 4096, 3, 1);
    // libpng with zlib's default level and its own choice of row filters, as
    // an image editor saves a photograph (stb's writer compresses far less).
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = 4096;
    image.height = 4096;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 4096 * 3, nullptr)) return failed(path);
    inputs->push_back({"png 4096x4096 rgb", path});
  }
  {
    const std::string path = dir + "/photo-4000x3000.jpg";
    const std::vector<uint8_t> rgb = Picture(4000, 3000, 3, 2);
    if (!stbi_write_jpg(path.c_str(), 4000, 3000, 3, rgb.data(), 90)) return failed(path);
    inputs->push_back({"jpeg 4000x3000 (to 4096x4096)", path});
  }
  for (const bool mips : {true, false}) {
    const std::string path = dir + (mips ? "/dxt1-2048-mips.dds" : "/dxt1-2048-top.dds");
    if (!WriteBytes(path, Dds(2048, mips, 3))) return failed(path);
    inputs->push_back({mips ? "dds dxt1 2048x2048, 12 levels" : "dds dxt1 2048x2048, top only", path});
  }
  {
    const std::string path = dir + "/photo-8192x4096.tga";
    const std::vector<uint8_t> rgb = Picture(8192, 4096, 3, 4);
    stbi_write_tga_with_rle = 0;
    if (!stbi_write_tga(path.c_str(), 8192, 4096, 3, rgb.data())) return failed(path);
    inputs->push_back({"tga 8192x4096 rgb", path});
  }
  {
    const std::string path = dir + "/sky-1024.hdr";
    const std::vector<uint8_t> rgb = Picture(1024, 1024, 3, 5);
    // Radiance values up to about 8, brightest where the picture is.
    std::vector<float> hdr(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i) hdr[i] = std::pow(rgb[i] / 255.0f, 2.2f) * 8.0f;
    if (!stbi_write_hdr(path.c_str(), 1024, 1024, 3, hdr.data())) return failed(path);
    inputs->push_back({"hdr 1024x1024 float", path});
  }
  return true;
}
