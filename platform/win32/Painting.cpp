// Painting: the update region (one flag for "invalid", one for "erase"),
// UpdateWindow, InvalidateRect, BeginPaint and EndPaint. WM_PAINT itself is
// made by PeekMessageW when the queue is empty.
#include <string.h>

#include "User32State.h"

namespace ostrevin::win32 {

void Invalidate(Window* w, bool erase) {
  w->needsPaint = true;
  if (erase) w->needsErase = true;
}

}  // namespace ostrevin::win32

using namespace ostrevin::win32;

BOOL WINAPI UpdateWindow(HWND hWnd) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return FALSE;
  if (w->needsPaint) Send(w, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL bErase) {
  if (hWnd == nullptr) {
    for (Window& w : State().windows) {
      if (w.live) Invalidate(&w, bErase != FALSE);
    }
    return TRUE;
  }
  Window* w = Lookup(hWnd);
  if (w == nullptr) return FALSE;
  Invalidate(w, bErase != FALSE);
  return TRUE;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  Window* w = Lookup(hWnd);
  if (w == nullptr || lpPaint == nullptr) return nullptr;
  const HDC dc = &State().dcs[SlotOf(w)];
  memset(lpPaint, 0, sizeof(*lpPaint));
  lpPaint->hdc = dc;
  // The update region is validated here, as USER32 does: anything
  // invalidated while painting asks for another WM_PAINT.
  w->needsPaint = false;
  BOOL erase = FALSE;
  if (w->needsErase) {
    w->needsErase = false;
    erase = Send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  }
  lpPaint->fErase = erase;
  lpPaint->rcPaint.right = w->clientWidth;
  lpPaint->rcPaint.bottom = w->clientHeight;
  return dc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT*) { return Lookup(hWnd) != nullptr; }
