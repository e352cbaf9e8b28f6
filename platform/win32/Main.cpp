// The process entry point on Linux: the program's own entry is wWinMain.
// The arguments become one wide command line without the program name, as
// Windows passes it, quoted where an argument contains blanks or quotes.
#include <windows.h>

#include <string>

#include "shader/WarmUp.h"

namespace {

// The module handle the program sees as its hInstance.
struct HINSTANCE__ g_module;

void AppendUtf8(std::wstring& out, const char* s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  while (*p != 0) {
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
}

void AppendArgument(std::wstring& line, const char* arg) {
  std::wstring wide;
  AppendUtf8(wide, arg);
  if (!line.empty()) line.push_back(L' ');
  if (!wide.empty() && wide.find_first_of(L" \t\"") == std::wstring::npos) {
    line += wide;
    return;
  }
  // The quoting that CommandLineToArgvW reads back.
  line.push_back(L'"');
  size_t backslashes = 0;
  for (wchar_t c : wide) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, L'\\');
    backslashes = 0;
    line.push_back(c);
  }
  line.append(backslashes * 2, L'\\');
  line.push_back(L'"');
}

}  // namespace

int main(int argc, char** argv) {
  ostrevin::StartShaderCompilerWarmUp();
  static std::wstring commandLine;
  for (int i = 1; i < argc; ++i) AppendArgument(commandLine, argv[i]);
  return wWinMain(&g_module, nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
