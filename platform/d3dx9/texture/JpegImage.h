// JPEG files for the texture loader, decoded by libjpeg-turbo once
// ReadImageHeader (ImageHeader.h) has passed their header. A damaged
// entropy-coded stream decodes as far as it goes (the rest grey), as
// Direct3D's loader does; a stream that makes the library give up, more
// scans than any real file has, or more memory than the working ceiling is
// refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ImageHeader.h"
#include "Pixels8.h"

namespace d3dx {

// Decodes a baseline or progressive JPEG of 1, 3 or 4 components into 8-bit
// RGBA (alpha 255), rows top first; `channels` is 1 for grey, 3 otherwise.
// False when the library refuses the stream or decodes another size than
// the header's.
bool DecodeJpeg(const uint8_t* data, size_t size, const ImageHeader& header, Rgba8Image* out, int* channels);

}  // namespace d3dx
