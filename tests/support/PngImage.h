// Reads a captured frame (8-bit RGB PNG, top row first) for the tests that
// look at pixels.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  bool Black(int x, int y) const {
    const uint8_t* p = At(x, y);
    return p[0] < 4 && p[1] < 4 && p[2] < 4;
  }
};

inline bool ReadPng(const std::string& path, Image* out) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  out->width = static_cast<int>(image.width);
  out->height = static_cast<int>(image.height);
  out->rgb.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}
