#include "fake/FakeUser32.h"

#include "support/ProgramWindow.h"

namespace fake {
namespace {
LONG g_width = kProgramClientWidth;
LONG g_height = kProgramClientHeight;
std::set<int> g_keys;
std::string g_debug;
}  // namespace

void SetClientSize(LONG width, LONG height) {
  g_width = width;
  g_height = height;
}
void SetKeysDown(const std::set<int>& keys) { g_keys = keys; }
std::string TakeDebugOutput() {
  std::string out;
  out.swap(g_debug);
  return out;
}

}  // namespace fake

BOOL WINAPI GetClientRect(HWND, LPRECT lpRect) {
  if (lpRect == NULL) return FALSE;
  lpRect->left = 0;
  lpRect->top = 0;
  lpRect->right = fake::g_width;
  lpRect->bottom = fake::g_height;
  return TRUE;
}

SHORT WINAPI GetAsyncKeyState(int vKey) {
  return fake::g_keys.count(vKey) != 0 ? static_cast<SHORT>(0x8000) : 0;
}

void WINAPI OutputDebugStringW(LPCWSTR text) {
  if (text == NULL) return;
  for (; *text != 0; ++text) fake::g_debug.push_back(static_cast<char>(*text < 0x80 ? *text : '?'));
}

void WINAPI OutputDebugStringA(LPCSTR text) {
  if (text != NULL) fake::g_debug += text;
}
