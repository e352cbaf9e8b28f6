#include "Utf.h"

namespace ostrevin::utf {

size_t EncodeUtf8(uint32_t c, char* out) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

std::string ToUtf8(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) {
    char bytes[4];
    size_t n = EncodeUtf8(static_cast<uint32_t>(*text), bytes);
    if (n == 0) n = EncodeUtf8(0xFFFD, bytes);
    out.append(bytes, n);
  }
  return out;
}

std::wstring FromUtf8(const char* text) {
  std::wstring out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (p != nullptr && *p != 0) {
    uint32_t c = *p;
    int extra = 0;
    if (c >= 0xF0 && c < 0xF8) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      extra = 1;
    } else if (c >= 0x80) {
      out.push_back(static_cast<wchar_t>(0xFFFD));  // stray continuation byte
      ++p;
      continue;
    }
    ++p;
    bool ok = true;
    for (int i = 0; i < extra; ++i) {
      if ((*p & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (*p & 0x3F);
      ++p;
    }
    out.push_back(static_cast<wchar_t>(ok ? c : 0xFFFD));
  }
  return out;
}

}  // namespace ostrevin::utf
