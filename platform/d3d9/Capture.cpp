// The layer's run-time switches and the PNG writer for captured frames.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Device.h"

namespace ostrevin {
namespace d3d9 {

namespace {

unsigned ParseUnsigned(const char* s) {
  if (s == nullptr) return 0;
  char* end = nullptr;
  const unsigned long v = std::strtoul(s, &end, 10);
  return (end != s && v < 0xFFFFFFFFul) ? static_cast<unsigned>(v) : 0;
}

// "1,100,200" -> {1, 100, 200}; ignores anything that is not a number.
std::vector<unsigned> ParseList(const char* s) {
  std::vector<unsigned> out;
  while (s != nullptr && *s != '\0') {
    char* end = nullptr;
    const unsigned long v = std::strtoul(s, &end, 10);
    if (end == s) {
      ++s;
      continue;
    }
    if (v > 0 && v < 0xFFFFFFFFul) out.push_back(static_cast<unsigned>(v));
    s = end;
  }
  return out;
}

Switches ReadSwitches() {
  Switches sw;
  sw.exitAfter = ParseUnsigned(std::getenv("OSTREVIN_EXIT_AFTER"));
  if (const char* dir = std::getenv("OSTREVIN_CAPTURE")) sw.captureDir = dir;
  sw.captureFrames = ParseList(std::getenv("OSTREVIN_CAPTURE_FRAMES"));
  sw.presentFail = ParseList(std::getenv("OSTREVIN_PRESENT_FAIL"));
  if (const char* v = std::getenv("OSTREVIN_VSYNC")) sw.vsync = std::strcmp(v, "0") == 0 ? 0 : 1;
  if (const char* v = std::getenv("OSTREVIN_STATS")) sw.stats = std::strcmp(v, "0") != 0 && *v != '\0';
  return sw;
}

}  // namespace

const Switches& GetSwitches() {
  static const Switches s_switches = ReadSwitches();
  return s_switches;
}

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * static_cast<size_t>(width) * 3));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

}  // namespace d3d9
}  // namespace ostrevin
