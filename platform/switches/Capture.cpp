#include "Capture.h"

#include <GL/glcorearb.h>
#include <SDL.h>
#include <png.h>

#include <cstdio>
#include <vector>

namespace ostrevin::switches {

void CaptureFrame(const BackBufferView& bb, const std::string& dir, unsigned frame) {
  // Loaded here, so that the switches need none of the device's GL set-up.
  static const auto bindFramebuffer =
      reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
  static const auto readPixels = reinterpret_cast<PFNGLREADPIXELSPROC>(SDL_GL_GetProcAddress("glReadPixels"));
  if (bindFramebuffer == nullptr || readPixels == nullptr || bb.width == 0 || bb.height == 0) return;
  static std::vector<uint8_t> rgba, rgb;
  rgba.resize(static_cast<size_t>(bb.width) * bb.height * 4);
  rgb.resize(static_cast<size_t>(bb.width) * bb.height * 3);
  bindFramebuffer(GL_READ_FRAMEBUFFER, bb.framebuffer);
  readPixels(0, 0, static_cast<GLsizei>(bb.width), static_cast<GLsizei>(bb.height), GL_RGBA, GL_UNSIGNED_BYTE,
             rgba.data());
  // GL rows come bottom-up; the image is written top row first.
  for (unsigned y = 0; y < bb.height; ++y) {
    const uint8_t* src = &rgba[static_cast<size_t>(bb.height - 1 - y) * bb.width * 4];
    uint8_t* dst = &rgb[static_cast<size_t>(y) * bb.width * 3];
    for (unsigned x = 0; x < bb.width; ++x) {
      dst[3 * x] = src[4 * x];
      dst[3 * x + 1] = src[4 * x + 1];
      dst[3 * x + 2] = src[4 * x + 2];
    }
  }
  char name[32];
  std::snprintf(name, sizeof(name), "/frame-%05u.png", frame);
  const std::string path = dir + name;
  if (!WritePng(path, static_cast<int>(bb.width), static_cast<int>(bb.height), rgb.data()))
    std::fprintf(stderr, "ostrevin: cannot write %s\n", path.c_str());
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

}  // namespace ostrevin::switches
