// The capture's PNG files through stb_image_write, where there is no libpng
// (the web build): the same image, 8-bit RGB, top row first.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

#include "Capture.h"

namespace ostrevin::switches {

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb) {
  return stbi_write_png(path.c_str(), width, height, 3, rgb, width * 3) != 0;
}

}  // namespace ostrevin::switches
