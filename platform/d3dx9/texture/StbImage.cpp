#include "StbImage.h"

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
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace d3dx {

namespace {

bool Usable(const uint8_t* data, size_t size, const ImageHeader& header) {
  return data != nullptr && size <= static_cast<size_t>(INT_MAX) && header.width > 0 && header.height > 0;
}

}  // namespace

bool DecodeWithStb(const uint8_t* data, size_t size, const ImageHeader& header, Rgba8Image* out, int* channels) {
  if (!Usable(data, size, header) || header.kind == ImageKind::Hdr || header.kind == ImageKind::Pnm) return false;
  int w = 0, h = 0;
  ByteBuffer decoded(stbi_load_from_memory(data, static_cast<int>(size), &w, &h, channels, 4),
                     static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  if (decoded.data() == nullptr || static_cast<UINT>(w) != header.width || static_cast<UINT>(h) != header.height)
    return false;
  Rgba8Image image;
  image.width = header.width;
  image.height = header.height;
  image.pixels = std::move(decoded);  // stb_image's buffer, from malloc
  *out = std::move(image);
  return true;
}

}  // namespace d3dx
