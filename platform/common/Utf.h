// UTF-8 <-> UTF-32 (wchar_t is 32 bits on Linux) for the layer: window
// titles, message boxes, debug output, the command line and file names.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace ostrevin::utf {

// Writes the UTF-8 form of code point c to out (room for 4 bytes) and
// returns its length; 0 when c is no Unicode scalar value (a surrogate or
// above U+10FFFF).
size_t EncodeUtf8(uint32_t c, char* out);

// UTF-32 text to UTF-8; what UTF-8 cannot carry becomes U+FFFD. Null is empty.
std::string ToUtf8(const wchar_t* text);

// UTF-8 text to UTF-32; a malformed sequence becomes U+FFFD.
std::wstring FromUtf8(const char* text);

}  // namespace ostrevin::utf
