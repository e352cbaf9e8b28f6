// Little-endian words in file and texel bytes (DDS headers, pixel rows).
#pragma once

#include <cstdint>

namespace ostrevin::formats {

// The `bytes` (1 to 4) bytes at p as one little-endian word.
inline uint32_t ReadLe(const uint8_t* p, unsigned bytes) {
  uint32_t v = 0;
  for (unsigned i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

inline uint32_t ReadLe32(const uint8_t* p) { return ReadLe(p, 4); }

}  // namespace ostrevin::formats
