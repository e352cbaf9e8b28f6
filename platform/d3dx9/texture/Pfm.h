// Portable float maps (PFM): "PF" (RGB) or "Pf" (grey), width, height and a
// scale whose sign gives the byte order, then 32-bit float rows from the
// bottom up. A pure parser: the raster's size is checked against the input
// before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Pixels.h"

namespace d3dx {

// True when the bytes begin like a PFM header.
bool IsPfm(const void* data, size_t size);

// Decodes a PFM into RGBA (rows top first; grey into R, G and B; alpha 1).
// `grey` tells which kind it was. False for a malformed or short file, or
// one wider or taller than formats::kMaxTextureSize.
bool ParsePfm(const void* data, size_t size, RgbaImage* out, bool* grey);

}  // namespace d3dx
