#include "Pfm.h"

#include <cstring>
#include <string>

#include "TextureLayout.h"

namespace d3dx {

namespace {

// Reads one whitespace-delimited token starting at *pos (after skipping
// whitespace); false at the end of the input or for a token over 32 bytes.
bool Token(const uint8_t* data, size_t size, size_t* pos, std::string* token) {
  auto space = [](uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (*pos < size && space(data[*pos])) ++*pos;
  token->clear();
  while (*pos < size && !space(data[*pos])) {
    if (token->size() >= 32) return false;
    token->push_back(static_cast<char>(data[(*pos)++]));
  }
  return !token->empty();
}

bool Dimension(const std::string& token, UINT* value) {
  if (token.empty() || token.size() > 5) return false;
  UINT v = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<UINT>(c - '0');
  }
  if (v == 0 || v > ostrevin::formats::kMaxTextureSize) return false;
  *value = v;
  return true;
}

}  // namespace

bool IsPfm(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return data != nullptr && size >= 3 && p[0] == 'P' && (p[1] == 'F' || p[1] == 'f') &&
         (p[2] == '\n' || p[2] == '\r' || p[2] == ' ' || p[2] == '\t');
}

bool ParsePfm(const void* data, size_t size, RgbaImage* out, bool* grey) {
  if (!IsPfm(data, size) || out == nullptr || grey == nullptr) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  const bool isGrey = bytes[1] == 'f';
  size_t pos = 2;
  std::string token;
  UINT width = 0, height = 0;
  if (!Token(bytes, size, &pos, &token) || !Dimension(token, &width)) return false;
  if (!Token(bytes, size, &pos, &token) || !Dimension(token, &height)) return false;
  if (!Token(bytes, size, &pos, &token)) return false;
  char* end = nullptr;
  const double scale = std::strtod(token.c_str(), &end);
  if (end == token.c_str() || *end != '\0' || scale == 0.0) return false;
  ++pos;  // the one whitespace byte before the raster
  const UINT channels = isGrey ? 1 : 3;
  const uint64_t need = static_cast<uint64_t>(width) * height * channels * 4;
  if (pos > size || need > size - pos || static_cast<uint64_t>(width) * height > kMaxDecodedPixels) return false;

  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height * 4);
  const bool bigEndian = scale > 0;
  const uint8_t* raster = bytes + pos;
  for (UINT y = 0; y < height; ++y) {
    const uint8_t* row = raster + static_cast<size_t>(height - 1 - y) * width * channels * 4;
    for (UINT x = 0; x < width; ++x) {
      float* p = &image.pixels[(static_cast<size_t>(y) * width + x) * 4];
      for (UINT c = 0; c < channels; ++c) {
        uint8_t b[4];
        std::memcpy(b, row + (static_cast<size_t>(x) * channels + c) * 4, 4);
        if (bigEndian) {
          std::swap(b[0], b[3]);
          std::swap(b[1], b[2]);
        }
        std::memcpy(&p[c], b, 4);
      }
      if (isGrey) p[1] = p[2] = p[0];
      p[3] = 1.0f;
    }
  }
  *out = std::move(image);
  *grey = isGrey;
  return true;
}

}  // namespace d3dx
