// The image files stb_image decodes for the texture loader: PNG, BMP and
// TGA, once ReadImageHeader (ImageHeader.h) has passed their header and the
// file is long enough for it (JPEG goes to libjpeg-turbo: JpegImage.h).
// stb_image lives in this file's source alone, compiled so that its integer
// arithmetic wraps: a hostile file gives wrong pixels, never undefined
// behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ImageHeader.h"
#include "Pixels8.h"

namespace d3dx {

// Decodes a PNG, BMP or TGA into 8-bit RGBA, rows top first;
// `channels` is the file's count (1 grey, 2 grey and alpha, 3, 4). False
// when stb_image fails or decodes another size than the header's.
bool DecodeWithStb(const uint8_t* data, size_t size, const ImageHeader& header, Rgba8Image* out, int* channels);

}  // namespace d3dx
