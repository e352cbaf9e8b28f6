// The desktop icon for Linux: the shared artwork as PNG files in the hicolor
// theme's layout, DIR/<size>x<size>/apps/<name>.png, at the sizes desktops
// and software centres look for. Fixed compression and no time chunk, so
// the bytes depend only on the artwork.
#include <png.h>
#include <stdint.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assetgen/Generators.h"
#include "assetgen/IconArt.h"

namespace {

bool WritePng(const std::filesystem::path& path, int size, const std::vector<uint8_t>& rgba) {
  FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.string().c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    std::fprintf(stderr, "assetgen: cannot encode %s\n", path.string().c_str());
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < size; ++y) {
    png_write_row(png, const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(size) * 4));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

}  // namespace

int GenerateHicolorIcons(const std::string& dir, const std::string& name) {
  static const int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
  for (int size : kSizes) {
    const std::filesystem::path apps =
        std::filesystem::path(dir) / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
    std::error_code ec;
    std::filesystem::create_directories(apps, ec);
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    DrawOstrevinIcon(size, rgba.data());
    if (!WritePng(apps / (name + ".png"), size, rgba)) return 1;
  }
  return 0;
}
