// The identity of this build of the program, which names the shader cache's
// folder: a change of the program, the layer or the compiler libraries
// linked into it gives another. Empty where the build carries none; the
// cache is then off.
#pragma once

#include <cstddef>
#include <string>

namespace ostrevin {

std::string ProgramBuildId();

// Bytes as lower-case hexadecimal, two digits a byte (the build id, and the
// names of the cache's entries).
inline std::string LowerHex(const unsigned char* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}

}  // namespace ostrevin
