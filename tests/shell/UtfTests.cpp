// The layer's UTF-8 <-> UTF-32 conversion (titles, message boxes, the
// command line, file names).
#include <gtest/gtest.h>

#include <string>

#include "Utf.h"

namespace {

using ostrevin::utf::EncodeUtf8;
using ostrevin::utf::FromUtf8;
using ostrevin::utf::ToUtf8;

TEST(Utf, EncodesEveryLengthAndRefusesNonScalars) {
  const struct {
    uint32_t c;
    std::string utf8;  // empty: refused
  } cases[] = {
      {0x41, "A"},          {0x7F, "\x7F"},         {0x80, "\xC2\x80"},         {0xE9, "\xC3\xA9"},
      {0x7FF, "\xDF\xBF"},  {0x800, "\xE0\xA0\x80"}, {0x2603, "\xE2\x98\x83"}, {0xFFFD, "\xEF\xBF\xBD"},
      {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0xD800, ""},         {0xDFFF, ""},           {0x110000, ""},
  };
  for (const auto& c : cases) {
    char out[4];
    const size_t n = EncodeUtf8(c.c, out);
    EXPECT_EQ(std::string(out, n), c.utf8) << std::hex << c.c;
  }
}

TEST(Utf, RoundTripsAndReplacesWhatCannotBeCarried) {
  const wchar_t text[] = L"Caf\u00e9 \u2603 \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(text).c_str()), text);
  EXPECT_EQ(ToUtf8(nullptr), "");
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  EXPECT_EQ(ToUtf8(surrogate), "a\xEF\xBF\xBD" "b");

  // Malformed UTF-8: a stray continuation byte, a sequence cut short by
  // another character and one cut short by the end.
  EXPECT_EQ(FromUtf8("a\x80" "b"), L"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC3" "b"), L"\uFFFDb");
  EXPECT_EQ(FromUtf8("\xE2\x98"), L"\uFFFD");
}

}  // namespace
