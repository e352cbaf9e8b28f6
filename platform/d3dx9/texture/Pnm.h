// Binary PGM (P5) and PPM (P6) rasters with 8-bit samples, read by the
// layer rather than stb_image, whose header reader overflows on long
// numbers. ReadImageHeader (ImageHeader.h) reads and checks the header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ImageHeader.h"
#include "Pixels8.h"

namespace d3dx {

// Decodes the raster that `header` (of kind Pnm) describes into RGBA, each
// sample scaled from the largest sample value to 255 and rounded; grey
// into R, G and B; alpha 255. False when the file is shorter than
// header.leastBytes.
bool DecodePnm(const uint8_t* data, size_t size, const ImageHeader& header, Rgba8Image* out);

}  // namespace d3dx
