// The headers of the image files the texture loader reads besides DDS and
// PFM, read by us before any decoder sees the file: PNG, JPEG, BMP and TGA
// (which stb_image then decodes), Radiance HDR (Hdr.cpp) and binary PGM/PPM
// (Pnm.cpp). Each file is taken for the one kind stb_image would take
// it for, by the same tests in the same order, so that the header checked
// here is the header the decoder reads.
//
// A header passes when every field the decoder reads is in range (sizes,
// depths, types, offsets inside the file) and when the file is long enough
// to hold what the header claims: `leastBytes` is the fewest bytes any
// honest file of that size and kind can have (the raster of an uncompressed
// file, the longest runs of a run-length one, the best ratio of deflate for
// PNG), so a few bytes never make a decoder fill a huge image.
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace d3dx {

enum class ImageKind { Png, Jpeg, Bmp, Tga, Hdr, Pnm };

struct ImageHeader {
  ImageKind kind;
  UINT width;
  UINT height;
  uint64_t leastBytes;  // the file can honestly be no shorter than this
  // Pnm and Hdr: where the raster starts. Pnm only: its channels (1 grey,
  // 3 RGB) and the largest sample value (1..255).
  size_t rasterOffset;
  UINT channels;
  UINT maxValue;
};

// Reads the header of `data`. False with the reason in `why` when the file
// is none of these kinds or its header is damaged; a header claiming more
// than the file holds passes here (leastBytes says so) and is refused by
// the caller with the sizes in its reason.
bool ReadImageHeader(const uint8_t* data, size_t size, ImageHeader* out, std::string* why);

const char* ImageKindName(ImageKind kind);

}  // namespace d3dx
