#include "StbImage.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_HDR
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace d3dx {

bool DecodeWithStb(const uint8_t* data, size_t size, const ImageHeader& header, RgbaImage* out, int* channels) {
  if (header.kind == ImageKind::Pnm || size > static_cast<size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(size);
  int w = 0, h = 0;
  RgbaImage image;
  image.width = header.width;
  image.height = header.height;
  image.pixels.resize(static_cast<size_t>(header.width) * header.height * 4);
  if (header.kind == ImageKind::Hdr) {
    std::unique_ptr<float, void (*)(void*)> decoded(stbi_loadf_from_memory(data, length, &w, &h, channels, 4),
                                                    stbi_image_free);
    if (!decoded || static_cast<UINT>(w) != image.width || static_cast<UINT>(h) != image.height) return false;
    std::copy(decoded.get(), decoded.get() + image.pixels.size(), image.pixels.begin());
  } else {
    std::unique_ptr<stbi_uc, void (*)(void*)> decoded(stbi_load_from_memory(data, length, &w, &h, channels, 4),
                                                      stbi_image_free);
    if (!decoded || static_cast<UINT>(w) != image.width || static_cast<UINT>(h) != image.height) return false;
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<float>(decoded.get()[i]) / 255.0f;
  }
  *out = std::move(image);
  return true;
}

}  // namespace d3dx
