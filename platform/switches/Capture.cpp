#include "Capture.h"

#include <GL/glcorearb.h>
#include <SDL.h>

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

}  // namespace ostrevin::switches
