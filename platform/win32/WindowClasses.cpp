// Window classes: RegisterClassExW, UnregisterClassW and the lookup by name
// (case-insensitive) or atom.
#include <wchar.h>

#include "User32State.h"

namespace {

using namespace ostrevin::win32;

WCHAR FoldCase(WCHAR c) { return (c >= L'A' && c <= L'Z') ? static_cast<WCHAR>(c - L'A' + L'a') : c; }

bool SameClassName(const WCHAR* a, const WCHAR* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

namespace ostrevin::win32 {

WindowClass* FindClass(LPCWSTR name) {
  if (name == nullptr) return nullptr;
  for (WindowClass& c : State().classes) {
    if (!c.used) continue;
    if (IS_INTRESOURCE(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                             : SameClassName(c.name, name)) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace ostrevin::win32

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXW) || wc->lpfnWndProc == nullptr ||
      wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == 0) {
    return 0;
  }
  if (wcslen(wc->lpszClassName) >= static_cast<size_t>(kClassNameMax) || FindClass(wc->lpszClassName) != nullptr) {
    return 0;
  }
  for (int i = 0; i < kMaxClasses; ++i) {
    WindowClass& c = State().classes[i];
    if (c.used) continue;
    c.used = true;
    c.atom = static_cast<ATOM>(0xC000 + i);
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.iconSmall = wc->hIconSm;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    wcscpy(c.name, wc->lpszClassName);
    return c.atom;
  }
  return 0;
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
  WindowClass* c = FindClass(lpClassName);
  if (c == nullptr) return FALSE;
  for (const Window& w : State().windows) {
    if (w.live && w.cls == c) return FALSE;  // still in use
  }
  c->used = false;
  return TRUE;
}
