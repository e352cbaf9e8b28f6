// Radiance HDR (RGBE) rasters, read by the layer rather than stb_image,
// whose run-length reader loops for ever on a run of length 0. Rows of 8
// to 32767 pixels may be run-length coded per channel; others, and rows
// that do not start with the run-length marker, are 4 bytes a pixel.
// ReadImageHeader (ImageHeader.h) reads and checks the header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ImageHeader.h"
#include "Pixels.h"

namespace d3dx {

// Decodes the raster that `header` (of kind Hdr) describes into float RGBA
// (alpha 1). False when a row is damaged (a run of 0 or past the row's
// end, a marker giving another width) or the file ends before the image.
bool DecodeHdr(const uint8_t* data, size_t size, const ImageHeader& header, RgbaImage* out);
// The same written into `dst` (A32B32G32R32F's layout), rows `pitch` bytes
// apart; what it wrote before failing is left there.
bool DecodeHdr(const uint8_t* data, size_t size, const ImageHeader& header, uint8_t* dst, size_t pitch);

}  // namespace d3dx
