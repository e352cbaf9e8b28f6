// DefWindowProcW: what a window does with the messages its procedure passes
// on. The non-client area is computed here, from the frame metrics.
#include "NonClientMetrics.h"
#include "User32State.h"

using namespace ostrevin::win32;

namespace {

constexpr WPARAM kScClose = 0xF060;

}  // namespace

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return 0;
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_NCCALCSIZE:
      if (!wParam && lParam != 0) {
        RECT* rc = reinterpret_cast<RECT*>(lParam);
        const FrameMetrics frame = FrameFor(w->style);
        rc->left += frame.left;
        rc->top += frame.top;
        rc->right -= frame.right;
        rc->bottom -= frame.bottom;
        if (rc->right < rc->left) rc->right = rc->left;
        if (rc->bottom < rc->top) rc->bottom = rc->top;
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hWnd, &ps);
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      // Erased when the class has a background brush; otherwise left to the program.
      return w->cls->background != nullptr ? 1 : 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kScClose) SendMessageW(hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F1 + 3) SendMessageW(hWnd, WM_SYSCOMMAND, kScClose, 0);  // Alt+F4
      return 0;
    default:
      return 0;
  }
}
