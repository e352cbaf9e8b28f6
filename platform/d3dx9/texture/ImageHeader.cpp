#include "ImageHeader.h"

#include <cstring>

#include "TextureLayout.h"

namespace d3dx {

namespace {

using ostrevin::formats::kMaxTextureSize;

uint32_t Be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }
uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[1]) << 8 | p[0]; }
uint32_t Le32(const uint8_t* p) { return Le16(p + 2) << 16 | Le16(p); }

uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

bool Fail(std::string* why, std::string text) {
  *why = std::move(text);
  return false;
}

// Width and height within what a texture can have.
bool SizeFits(uint64_t width, uint64_t height, ImageHeader* out, std::string* why) {
  if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
    return Fail(why, "width or height out of range (" + std::to_string(width) + "x" + std::to_string(height) + ")");
  }
  out->width = static_cast<UINT>(width);
  out->height = static_cast<UINT>(height);
  return true;
}

// PNG: the IHDR chunk, which must come first, and the chunks after it.
// Deflate packs at best 1032 bytes into one, so the filtered rows need at
// least 1/1032 of their size.
bool ReadPng(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  if (size < 33 || Be32(d + 8) != 13 || std::memcmp(d + 12, "IHDR", 4) != 0) return Fail(why, "PNG without its IHDR chunk");
  const uint32_t depth = d[24], colour = d[25];
  UINT channels = 0;
  bool depthOk = false;
  switch (colour) {
    case 0: channels = 1, depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 2: channels = 3, depthOk = depth == 8 || depth == 16; break;
    case 3: channels = 1, depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 4: channels = 2, depthOk = depth == 8 || depth == 16; break;
    case 6: channels = 4, depthOk = depth == 8 || depth == 16; break;
  }
  if (!depthOk || d[26] != 0 || d[27] != 0 || d[28] > 1) {
    return Fail(why, "PNG with colour type " + std::to_string(colour) + ", bit depth " + std::to_string(depth) +
                         " or compression, filter or interlace method out of range");
  }
  if (!SizeFits(Be32(d + 16), Be32(d + 20), out, why)) return false;
  // The chunks up to IEND, each inside the file. The decoder copies the
  // first IDAT into a buffer it has not allocated yet when that is empty.
  bool data = false;
  for (size_t pos = 33;;) {
    if (size - pos < 12 || Be32(d + pos) > size - pos - 12) return Fail(why, "PNG chunk past the end of the file");
    const uint32_t length = Be32(d + pos);
    if (std::memcmp(d + pos + 4, "IEND", 4) == 0) break;
    if (std::memcmp(d + pos + 4, "IDAT", 4) == 0) {
      if (!data && length == 0) return Fail(why, "PNG whose first IDAT chunk is empty");
      data = true;
    }
    pos += 12 + static_cast<size_t>(length);
  }
  const uint64_t rowBytes = 1 + CeilDiv(static_cast<uint64_t>(out->width) * channels * depth, 8);
  out->leastBytes = 33 + rowBytes * out->height / 1032;
  return true;
}

// JPEG: every segment the decoder reads, to the end of the image: tables
// (Huffman tables of at most 256 codes, quantisation tables of 8 or 16
// bits), the frame header (baseline, extended or progressive, 8-bit
// samples, 1, 3 or 4 components) and each scan header, whose components
// must be the frame's and whose tables must have been defined (the decoder
// would read undefined ones). The entropy-coded data after a scan header
// is skipped up to the next marker. The best a JPEG can do is about one bit
// per 8x8 block of a DC-only scan; 1024 pixels a byte leaves a margin.
bool ReadJpeg(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  bool frame = false, progressive = false, scanned = false;
  bool dcTable[4] = {}, acTable[4] = {}, quantTable[4] = {};
  uint32_t componentIds[4] = {}, componentQuant[4] = {}, components = 0;
  size_t pos = 1;
  while (pos < size && d[pos] == 0xFF) ++pos;
  ++pos;  // the start-of-image marker, tested by the caller
  for (;;) {
    // Bytes between segments are skipped, as the decoder skips them.
    while (pos < size && d[pos] != 0xFF) ++pos;
    while (pos < size && d[pos] == 0xFF) ++pos;
    if (pos >= size) {
      if (!scanned) return Fail(why, frame ? "JPEG without a scan" : "JPEG without a frame header");
      break;  // cut short after its first scan: the decoder stops there too
    }
    const uint8_t marker = d[pos++];
    if (marker == 0xD9) {
      if (!scanned) return Fail(why, frame ? "JPEG without a scan" : "JPEG without a frame header");
      break;
    }
    if (pos + 2 > size || Be16(d + pos) < 2 || pos + Be16(d + pos) > size) {
      return Fail(why, "JPEG segment past the end of the file");
    }
    const size_t length = Be16(d + pos);
    const uint8_t* seg = d + pos + 2;
    const size_t body = length - 2;
    pos += length;
    if (marker == 0xC4) {  // Huffman tables
      for (size_t at = 0; at < body;) {
        if (body - at < 17 || seg[at] >> 4 > 1 || (seg[at] & 15) > 3) return Fail(why, "damaged JPEG Huffman table");
        size_t codes = 0;
        for (size_t i = 1; i <= 16; ++i) codes += seg[at + i];
        if (codes > 256 || body - at - 17 < codes) return Fail(why, "damaged JPEG Huffman table");
        (seg[at] >> 4 == 0 ? dcTable : acTable)[seg[at] & 15] = true;
        at += 17 + codes;
      }
    } else if (marker == 0xDB) {  // quantisation tables
      for (size_t at = 0; at < body;) {
        const size_t bytes = seg[at] >> 4 == 0 ? 65 : 129;
        if (seg[at] >> 4 > 1 || (seg[at] & 15) > 3 || body - at < bytes) return Fail(why, "damaged JPEG quantisation table");
        quantTable[seg[at] & 15] = true;
        at += bytes;
      }
    } else if (marker == 0xDD || marker == 0xDC) {  // restart interval, number of lines
      if (length != 4) return Fail(why, "damaged JPEG restart interval or line count");
    } else if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
      // Application data and comments: skipped.
    } else if ((marker == 0xC0 || marker == 0xC1 || marker == 0xC2) && !frame) {
      components = body >= 6 ? seg[5] : 0;
      if (body < 6 || seg[0] != 8 || (components != 1 && components != 3 && components != 4) ||
          body != 6 + 3 * components) {
        return Fail(why, "JPEG frame header with other than 8-bit samples and 1, 3 or 4 components");
      }
      for (uint32_t c = 0; c < components; ++c) {
        const uint8_t* comp = seg + 6 + 3 * c;
        const uint32_t h = comp[1] >> 4, v = comp[1] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4 || comp[2] > 3) return Fail(why, "JPEG component with sampling or table out of range");
        componentIds[c] = comp[0];
        componentQuant[c] = comp[2];
      }
      if (!SizeFits(Be16(seg + 3), Be16(seg + 1), out, why)) return false;
      frame = true;
      progressive = marker == 0xC2;
    } else if (marker == 0xDA && frame) {  // a scan
      const uint32_t count = body >= 1 ? seg[0] : 0;
      if (count < 1 || count > components || body != 4 + 2 * count) return Fail(why, "damaged JPEG scan header");
      const uint32_t start = seg[1 + 2 * count], end = seg[2 + 2 * count];
      const uint32_t high = seg[3 + 2 * count] >> 4, low = seg[3 + 2 * count] & 15;
      if (progressive ? start > 63 || end > 63 || start > end || high > 13 || low > 13 : start != 0 || high != 0 || low != 0) {
        return Fail(why, "damaged JPEG scan header");
      }
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t id = seg[1 + 2 * i], dc = seg[2 + 2 * i] >> 4, ac = seg[2 + 2 * i] & 15;
        uint32_t c = 0;
        while (c < components && componentIds[c] != id) ++c;
        if (c == components || dc > 3 || ac > 3) return Fail(why, "damaged JPEG scan header");
        const bool needsDc = !progressive || (start == 0 && high == 0), needsAc = !progressive || start > 0;
        if ((needsDc && !dcTable[dc]) || (needsAc && !acTable[ac])) return Fail(why, "JPEG scan with an undefined Huffman table");
      }
      for (uint32_t c = 0; c < components; ++c) {
        if (!quantTable[componentQuant[c]]) return Fail(why, "JPEG component with an undefined quantisation table");
      }
      scanned = true;
      // The entropy-coded data: up to a marker other than a stuffed zero,
      // a restart marker or fill.
      while (pos + 1 < size && !(d[pos] == 0xFF && d[pos + 1] != 0 && d[pos + 1] != 0xFF && (d[pos + 1] < 0xD0 || d[pos + 1] > 0xD7))) {
        ++pos;
      }
      if (pos + 1 >= size) break;
    } else {
      return Fail(why, frame ? "JPEG with a segment the decoder does not read"
                             : "JPEG with a coding process other than baseline, extended or progressive");
    }
  }
  out->leastBytes = CeilDiv(static_cast<uint64_t>(out->width) * out->height, 1024);
  return true;
}

// BMP: the file header and an info header of 12, 40, 56, 108 or 124 bytes,
// uncompressed or with bit fields; the raster is stored whole.
bool ReadBmp(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  if (size < 18) return Fail(why, "shorter than a BMP header");
  const uint32_t offset = Le32(d + 10), infoSize = Le32(d + 14);
  if (infoSize != 12 && infoSize != 40 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    return Fail(why, "BMP info header of " + std::to_string(infoSize) + " bytes");
  }
  if (size < 14 + infoSize) return Fail(why, "shorter than a BMP header");
  const bool core = infoSize == 12;
  const int64_t width = core ? Le16(d + 18) : static_cast<int32_t>(Le32(d + 18));
  const int64_t height = core ? Le16(d + 20) : static_cast<int32_t>(Le32(d + 22));
  const uint32_t planes = Le16(d + (core ? 22 : 26)), bpp = Le16(d + (core ? 24 : 28));
  const uint32_t compression = core ? 0 : Le32(d + 30);
  const bool bppOk = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || (!core && (bpp == 16 || bpp == 32));
  if (planes != 1 || !bppOk) return Fail(why, "BMP with " + std::to_string(bpp) + " bits per pixel");
  if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32))) {
    return Fail(why, "BMP compression " + std::to_string(compression) + " (run-length and embedded images are not read)");
  }
  // Where the decoder stands after the headers (bit-field masks follow a
  // 40- or 56-byte header), and the palette between there and the pixels.
  const uint64_t headersEnd = 14 + infoSize + ((infoSize == 40 || infoSize == 56) && compression == 3 ? 12 : 0);
  if (offset < headersEnd || offset > size) return Fail(why, "BMP pixels offset " + std::to_string(offset) + " out of range");
  if (bpp < 16) {
    // Counted as the decoder counts them: it takes 12 bytes more off a
    // 12-byte header's palette, and below one entry reads none at all.
    const uint64_t entries = core ? (offset >= headersEnd + 12 ? (offset - headersEnd - 12) / 3 : 0) : (offset - headersEnd) / 4;
    if (entries == 0 || entries > 256) return Fail(why, "BMP palette of " + std::to_string(entries) + " entries");
  }
  if (!SizeFits(width < 0 ? 0 : static_cast<uint64_t>(width), height < 0 ? static_cast<uint64_t>(-height) : static_cast<uint64_t>(height), out, why)) {
    return false;
  }
  const uint64_t stride = (static_cast<uint64_t>(out->width) * bpp + 31) / 32 * 4;
  out->leastBytes = offset + stride * (out->height - 1) + CeilDiv(static_cast<uint64_t>(out->width) * bpp, 8);
  return true;
}

// TGA: no magic; the header fields the decoder tests to take a file for a
// TGA, then the colour map and the pixels. A run-length packet repeats one
// pixel at most 128 times.
bool ReadTga(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  const char* notImage = "not an image file the loader reads";
  if (size < 18) return Fail(why, notImage);
  const uint32_t mapType = d[1], type = d[2], mapFirst = Le16(d + 3), mapLength = Le16(d + 5), mapBits = d[7];
  const uint32_t bpp = d[16];
  auto entryBits = [](uint32_t bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; };
  if (mapType > 1 || !entryBits(bpp) || Le16(d + 12) < 1 || Le16(d + 14) < 1) return Fail(why, notImage);
  if (mapType == 1 && ((type != 1 && type != 9) || !entryBits(mapBits) || (bpp != 8 && bpp != 16))) return Fail(why, notImage);
  if (mapType == 0 && type != 2 && type != 3 && type != 10 && type != 11) return Fail(why, notImage);
  uint64_t dataStart = 18 + d[0];
  if (mapType == 1) {
    // The decoder reads the map from its start and would misplace it.
    if (mapFirst != 0) return Fail(why, "TGA colour map starting at entry " + std::to_string(mapFirst));
    if (mapLength == 0) return Fail(why, "TGA colour map without entries");
    dataStart += static_cast<uint64_t>(mapLength) * ((mapBits + 7) / 8);
  }
  if (!SizeFits(Le16(d + 12), Le16(d + 14), out, why)) return false;
  const uint64_t pixels = static_cast<uint64_t>(out->width) * out->height, pixelBytes = (bpp + 7) / 8;
  out->leastBytes = dataStart + (type >= 9 ? CeilDiv(pixels, 128) * (1 + pixelBytes) : pixels * pixelBytes);
  return true;
}

// Radiance HDR: the magic line, header lines up to an empty one (one must
// name the RGBE format), then "-Y height +X width". Rows of 8 to 32767
// pixels may be run-length coded per channel (at most 127 bytes a run),
// others are 4 bytes a pixel.
bool ReadHdr(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  const char* damaged = "damaged Radiance HDR header";
  size_t pos = 0;
  auto line = [&](std::string* text) {
    text->clear();
    while (pos < size && d[pos] != '\n') {
      if (text->size() < 1024) text->push_back(static_cast<char>(d[pos]));
      ++pos;
    }
    if (pos >= size) return false;
    ++pos;
    return true;
  };
  std::string text;
  if (!line(&text) || (text != "#?RADIANCE" && text != "#?RGBE")) return Fail(why, damaged);
  bool rgbe = false;
  for (;;) {
    if (!line(&text)) return Fail(why, damaged);
    if (text.empty()) break;
    if (text == "FORMAT=32-bit_rle_rgbe") rgbe = true;
  }
  if (!rgbe) return Fail(why, "Radiance HDR in a format other than 32-bit RGBE");
  if (!line(&text)) return Fail(why, damaged);
  // Digits only: no sign, no blanks, no more than a texture's size needs.
  auto number = [&](size_t* at, uint64_t* value) {
    const size_t start = *at;
    *value = 0;
    while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9' && *at - start < 6) *value = *value * 10 + (text[(*at)++] - '0');
    return *at > start && (*at == text.size() || text[*at] < '0' || text[*at] > '9');
  };
  size_t at = 3;
  uint64_t height = 0, width = 0;
  if (text.compare(0, 3, "-Y ") != 0 || !number(&at, &height)) return Fail(why, "Radiance HDR layout other than -Y +X");
  while (at < text.size() && text[at] == ' ') ++at;
  if (text.compare(at, 3, "+X ") != 0) return Fail(why, "Radiance HDR layout other than -Y +X");
  at += 3;
  if (!number(&at, &width) || at != text.size()) return Fail(why, "Radiance HDR layout other than -Y +X");
  if (!SizeFits(width, height, out, why)) return false;
  const uint64_t rowBytes = out->width < 8 ? 4ull * out->width : 4 + 8 * CeilDiv(out->width, 127);
  out->rasterOffset = pos;
  out->leastBytes = pos + rowBytes * out->height;
  return true;
}

// Binary PGM (P5) and PPM (P6): width, height and the largest sample value
// as decimal numbers between blanks and comments, one blank, the raster.
bool ReadPnm(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  const char* damaged = "damaged PGM/PPM header";
  size_t pos = 2;
  uint64_t fields[3] = {0, 0, 0};
  for (uint64_t& field : fields) {
    for (;;) {
      while (pos < size && (d[pos] == ' ' || (d[pos] >= '\t' && d[pos] <= '\r'))) ++pos;
      if (pos >= size || d[pos] != '#') break;
      while (pos < size && d[pos] != '\n' && d[pos] != '\r') ++pos;
    }
    const size_t start = pos;
    while (pos < size && d[pos] >= '0' && d[pos] <= '9') {
      if (pos - start == 6) return Fail(why, "PGM/PPM header number out of range");
      field = field * 10 + (d[pos++] - '0');
    }
    if (pos == start) return Fail(why, damaged);
  }
  if (pos >= size || !(d[pos] == ' ' || (d[pos] >= '\t' && d[pos] <= '\r'))) return Fail(why, damaged);
  if (fields[2] == 0 || fields[2] > 255) return Fail(why, "PGM/PPM largest sample " + std::to_string(fields[2]) + " (8-bit samples only)");
  if (!SizeFits(fields[0], fields[1], out, why)) return false;
  out->rasterOffset = pos + 1;
  out->channels = d[1] == '6' ? 3 : 1;
  out->maxValue = static_cast<UINT>(fields[2]);
  out->leastBytes = out->rasterOffset + static_cast<uint64_t>(out->width) * out->height * out->channels;
  return true;
}

}  // namespace

bool ReadImageHeader(const uint8_t* d, size_t size, ImageHeader* out, std::string* why) {
  *out = ImageHeader{};
  if (size >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) {
    out->kind = ImageKind::Png;
    return ReadPng(d, size, out, why);
  }
  // A JPEG starts with its start-of-image marker, after any fill bytes.
  size_t pos = 0;
  while (pos < size && d[pos] == 0xFF) ++pos;
  if (pos > 0 && pos < size && d[pos] == 0xD8) {
    out->kind = ImageKind::Jpeg;
    return ReadJpeg(d, size, out, why);
  }
  if (size >= 2 && d[0] == 'B' && d[1] == 'M') {
    out->kind = ImageKind::Bmp;
    return ReadBmp(d, size, out, why);
  }
  if (size >= 2 && d[0] == '#' && d[1] == '?') {
    out->kind = ImageKind::Hdr;
    return ReadHdr(d, size, out, why);
  }
  if (size >= 2 && d[0] == 'P' && (d[1] == '5' || d[1] == '6')) {
    out->kind = ImageKind::Pnm;
    return ReadPnm(d, size, out, why);
  }
  out->kind = ImageKind::Tga;
  return ReadTga(d, size, out, why);
}

const char* ImageKindName(ImageKind kind) {
  switch (kind) {
    case ImageKind::Png: return "PNG";
    case ImageKind::Jpeg: return "JPEG";
    case ImageKind::Bmp: return "BMP";
    case ImageKind::Tga: return "TGA";
    case ImageKind::Hdr: return "Radiance HDR";
    case ImageKind::Pnm: return "PGM/PPM";
  }
  return "image";
}

}  // namespace d3dx
