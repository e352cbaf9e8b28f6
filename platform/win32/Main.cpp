// The process entry point on Linux: the program's own entry is wWinMain.
// The arguments become one wide command line without the program name, as
// Windows passes it, quoted where an argument contains blanks or quotes.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "Utf.h"
#include "WarmUp.h"

namespace {

// The module handle the program sees as its hInstance.
struct HINSTANCE__ g_module;

void AppendArgument(std::wstring& line, const char* arg) {
  const std::wstring wide = ostrevin::utf::FromUtf8(arg);
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
  // exit() rather than a return: in a web page main has been suspended and
  // resumed (each Present returns to the browser), and the value it then
  // returns no longer ends the program; everywhere else the two are the same.
  std::exit(wWinMain(&g_module, nullptr, commandLine.data(), SW_SHOWDEFAULT));
}
