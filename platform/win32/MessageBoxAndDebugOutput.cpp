// MessageBoxW and OutputDebugString: a line on standard error each, and the
// native box as well unless the test switches turn it off.
#include <stdio.h>

#include <string>

#include "Switches.h"
#include "User32State.h"
#include "Utf.h"
#include "Win32Internal.h"

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  const std::string caption = ostrevin::utf::ToUtf8(lpCaption != nullptr ? lpCaption : L"Error");
  const std::string text = ostrevin::utf::ToUtf8(lpText);
  // One line on standard error, whatever line breaks the box text has.
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  fprintf(stderr, "%s: %s\n", caption.c_str(), line.c_str());
  fflush(stderr);
  if (ostrevin::switches::NativeMessageBox() && ostrevin::win32::InitVideo()) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((uType & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if ((uType & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), ostrevin::win32::SdlWindow(hWnd));
  }
  return IDOK;
}

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
  fputs(ostrevin::utf::ToUtf8(lpOutputString).c_str(), stderr);
  fflush(stderr);
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString != nullptr) fputs(lpOutputString, stderr);
  fflush(stderr);
}
