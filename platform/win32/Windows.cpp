// Windows and their table: creation with the messages USER32 sends before
// CreateWindowExW returns, destruction, showing, the client rectangle, the
// window's longs and title, and SendMessageW. Each window is one SDL window
// with an OpenGL pixel format for the Direct3D 9 device; the SDL window is
// the client area and the window manager draws its own decorations.
#include <stdio.h>
#include <string.h>

#include <string>

#include "DisplayLoss.h"
#include "NonClientMetrics.h"
#include "User32State.h"
#include "Utf.h"
#include "Win32Internal.h"

namespace ostrevin::win32 {

HWND MakeHwnd(int slot) {
  const uintptr_t v = (static_cast<uintptr_t>(State().windows[slot].generation) << 8) | static_cast<uintptr_t>(slot + 1);
  return reinterpret_cast<HWND>(v);
}

Window* Lookup(HWND hWnd) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(hWnd);
  const uintptr_t slot = (v & 0xFF) - 1;
  if (v == 0 || slot >= static_cast<uintptr_t>(kMaxWindows) || (v >> 8) > 0xFFFF) return nullptr;
  Window& w = State().windows[slot];
  if (!w.live || w.generation != (v >> 8)) return nullptr;
  return &w;
}

int SlotOf(const Window* w) { return static_cast<int>(w - State().windows); }

Window* LookupSdl(Uint32 sdlId) {
  for (Window& w : State().windows) {
    if (w.live && w.sdl != nullptr && w.sdlId == sdlId) return &w;
  }
  return nullptr;
}

LRESULT Send(Window* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  return w->proc(MakeHwnd(SlotOf(w)), msg, wParam, lParam);
}

LPARAM SizeParam(const Window* w) { return MAKELPARAM(w->clientWidth, w->clientHeight); }

LPARAM MoveParam(const Window* w) {
  const FrameMetrics frame = FrameFor(w->style);
  return MAKELPARAM(w->x + frame.left, w->y + frame.top);
}

SDL_Window* SdlWindow(HWND hWnd) {
  Window* w = Lookup(hWnd);
  return w != nullptr ? w->sdl : nullptr;
}

}  // namespace ostrevin::win32

using namespace ostrevin::win32;

namespace {

// WM_GETMINMAXINFO's lParam (MINMAXINFO, not in our windows.h).
struct MinMaxInfo {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

void FreeSlot(Window* w) {
  if (w->sdl != nullptr) SDL_DestroyWindow(w->sdl);
  w->sdl = nullptr;
  w->sdlId = 0;
  w->native = 0;
  w->live = false;
  w->destroying = false;
  w->generation = static_cast<uint16_t>(w->generation == 0xFFFF ? 1 : w->generation + 1);
}

// The pixel formats the OpenGL device can draw with, best first: RGBA8,
// then RGB8 for a display without alpha visuals, then 5-6-5 for a 16-bit
// screen. None has depth or stencil (the device renders into its own
// framebuffer); all are double buffered. The device presents an opaque
// image, so alpha in the window is never needed.
struct PixelFormat {
  int red, green, blue, alpha;
};
constexpr PixelFormat kPixelFormats[] = {{8, 8, 8, 8}, {8, 8, 8, 0}, {5, 6, 5, 0}};

SDL_Window* CreateSdlWindow(const Window& w, const RECT& client) {
  const std::string title = ostrevin::utf::ToUtf8(w.title);
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN;
  const int sdlW = w.clientWidth > 0 ? w.clientWidth : 1, sdlH = w.clientHeight > 0 ? w.clientHeight : 1;
  SDL_Window* sdl = nullptr;
  for (const PixelFormat& format : kPixelFormats) {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, format.red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, format.green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, format.blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    sdl = SDL_CreateWindow(title.c_str(), client.left, client.top, sdlW, sdlH, flags);
    if (sdl != nullptr) break;
  }
  return sdl;
}

bool ShowCommandShows(int nCmdShow) { return nCmdShow != SW_HIDE; }

}  // namespace

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  const WindowClass* cls = FindClass(lpClassName);
  if (cls == nullptr || !InitVideo()) return nullptr;
  int slot = -1;
  for (int i = 0; i < kMaxWindows && slot < 0; ++i) {
    if (!State().windows[i].live) slot = i;
  }
  if (slot < 0) return nullptr;

  // Size and place: CW_USEDEFAULT is centred on the primary display.
  if (nWidth == CW_USEDEFAULT) {
    nWidth = kDefaultWindowWidth;
    nHeight = kDefaultWindowHeight;
  }
  if (X == CW_USEDEFAULT) {
    SDL_Rect bounds = {0, 0, 0, 0};
    SDL_GetDisplayBounds(0, &bounds);
    X = bounds.x + (bounds.w > nWidth ? (bounds.w - nWidth) / 2 : 0);
    Y = bounds.y + (bounds.h > nHeight ? (bounds.h - nHeight) / 2 : 0);
  }

  Window& w = State().windows[slot];
  const uint16_t generation = w.generation == 0 ? 1 : w.generation;
  memset(&w, 0, sizeof(w));
  w.generation = generation;
  w.live = true;
  w.cls = cls;
  w.proc = cls->proc;
  w.instance = hInstance;
  w.id = reinterpret_cast<LONG_PTR>(hMenu);
  // Top-level windows clip their siblings; an overlapped one (neither
  // popup nor child) always has a caption. CREATESTRUCTW keeps the style
  // as given.
  w.style = dwStyle;
  if ((dwStyle & (WS_CHILD | WS_POPUP)) != WS_CHILD) {
    w.style |= WS_CLIPSIBLINGS;
    if (!(dwStyle & WS_POPUP)) w.style |= WS_CAPTION;
  }
  w.needSize = !(dwStyle & (WS_CHILD | WS_POPUP));
  w.exStyle = dwExStyle;
  w.x = X;
  w.y = Y;
  w.needsPaint = true;
  w.needsErase = true;
  for (size_t i = 0; lpWindowName != nullptr && lpWindowName[i] != 0 && i + 1 < static_cast<size_t>(kTitleMax); ++i) {
    w.title[i] = lpWindowName[i];  // kept to kTitleMax - 1 characters
  }
  const HWND hWnd = MakeHwnd(slot);

  // Only a window the user can size or an overlapped one is held to the
  // tracking sizes; a popup or child without a sizing border is made as
  // asked, however small.
  const bool tracked = (dwStyle & WS_THICKFRAME) || !(dwStyle & (WS_POPUP | WS_CHILD));
  MinMaxInfo mmi;
  memset(&mmi, 0, sizeof(mmi));
  if (nWidth < 0) nWidth = 0;
  if (nHeight < 0) nHeight = 0;
  if (tracked) {
    mmi.ptMaxSize = {nWidth > kDefaultWindowWidth ? nWidth : kDefaultWindowWidth,
                     nHeight > kDefaultWindowHeight ? nHeight : kDefaultWindowHeight};
    mmi.ptMinTrackSize = {kMinTrackWidth, kMinTrackHeight};
    mmi.ptMaxTrackSize = {32767, 32767};
    Send(&w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    if (Lookup(hWnd) == nullptr) return nullptr;  // destroyed by its own procedure
    if (nWidth < mmi.ptMinTrackSize.x) nWidth = mmi.ptMinTrackSize.x;
    if (nHeight < mmi.ptMinTrackSize.y) nHeight = mmi.ptMinTrackSize.y;
    if (nWidth > mmi.ptMaxTrackSize.x) nWidth = mmi.ptMaxTrackSize.x;
    if (nHeight > mmi.ptMaxTrackSize.y) nHeight = mmi.ptMaxTrackSize.y;
  }

  CREATESTRUCTW cs;
  cs.lpCreateParams = lpParam;
  cs.hInstance = hInstance;
  cs.hMenu = hMenu;
  cs.hwndParent = hWndParent;
  cs.cy = nHeight;
  cs.cx = nWidth;
  cs.y = Y;
  cs.x = X;
  cs.style = static_cast<LONG>(dwStyle);
  cs.lpszName = lpWindowName;
  cs.lpszClass = lpClassName;
  cs.dwExStyle = dwExStyle;
  if (!Send(&w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    Send(&w, WM_NCDESTROY, 0, 0);
    FreeSlot(&w);
    return nullptr;
  }

  if (Lookup(hWnd) == nullptr) return nullptr;
  RECT rc = {X, Y, X + nWidth, Y + nHeight};
  Send(&w, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rc));
  if (Lookup(hWnd) == nullptr) return nullptr;
  w.clientWidth = rc.right > rc.left ? rc.right - rc.left : 0;
  w.clientHeight = rc.bottom > rc.top ? rc.bottom - rc.top : 0;

  w.sdl = CreateSdlWindow(w, rc);
  if (w.sdl == nullptr) {
    fprintf(stderr, "CreateWindowExW: SDL_CreateWindow failed: %s\n", SDL_GetError());
    Send(&w, WM_NCDESTROY, 0, 0);
    FreeSlot(&w);
    return nullptr;
  }
  w.sdlId = SDL_GetWindowID(w.sdl);
  w.native = NativeWindow(w.sdl);
  if (tracked) {
    const int frameW = w.clientWidth > 0 ? nWidth - w.clientWidth : 0;
    const int frameH = w.clientHeight > 0 ? nHeight - w.clientHeight : 0;
    const int minW = mmi.ptMinTrackSize.x - frameW, minH = mmi.ptMinTrackSize.y - frameH;
    SDL_SetWindowMinimumSize(w.sdl, minW > 1 ? minW : 1, minH > 1 ? minH : 1);
  }
  SetWindowIcon(w.sdl, cls->icon);

  if (Send(&w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hWnd);
    return nullptr;
  }
  if (Lookup(hWnd) == nullptr) return nullptr;  // destroyed during WM_CREATE
  if (!w.needSize) {
    Send(&w, WM_SIZE, SIZE_RESTORED, SizeParam(&w));
    if (Lookup(hWnd) == nullptr) return nullptr;
    Send(&w, WM_MOVE, 0, MoveParam(&w));
    if (Lookup(hWnd) == nullptr) return nullptr;
  }
  if (dwStyle & WS_VISIBLE) {
    w.style &= ~static_cast<DWORD>(WS_VISIBLE);
    ShowWindow(hWnd, SW_SHOW);
  }
  return Lookup(hWnd) != nullptr ? hWnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  Window* w = Lookup(hWnd);
  if (w == nullptr || w->destroying) return FALSE;
  w->destroying = true;
  if (w->visible && w->sdl != nullptr) SDL_HideWindow(w->sdl);
  w->visible = false;
  Send(w, WM_DESTROY, 0, 0);
  Send(w, WM_NCDESTROY, 0, 0);
  PurgeWindow(hWnd);
  FreeSlot(w);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) { return Lookup(hWnd) != nullptr; }

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return FALSE;
  const BOOL wasVisible = w->visible;
  if (!ShowCommandShows(nCmdShow)) {
    if (wasVisible) {
      Send(w, WM_SHOWWINDOW, FALSE, 0);
      if (w->sdl != nullptr) SDL_HideWindow(w->sdl);
      w->visible = false;
      w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    return wasVisible;
  }
  if (!wasVisible) {
    Send(w, WM_SHOWWINDOW, TRUE, 0);
    w->visible = true;
    w->style |= WS_VISIBLE;
    if (w->sdl != nullptr) SDL_ShowWindow(w->sdl);
    Invalidate(w, true);
  }
  if (w->sdl != nullptr) {
    if (nCmdShow == SW_MINIMIZE || nCmdShow == SW_SHOWMINIMIZED) SDL_MinimizeWindow(w->sdl);
    if (nCmdShow == SW_MAXIMIZE) SDL_MaximizeWindow(w->sdl);
    if (nCmdShow == SW_RESTORE) SDL_RestoreWindow(w->sdl);
  }
  // An overlapped window learns its size and place when first shown; other
  // windows learned them at creation, and showing changes neither.
  if (w->needSize && Lookup(hWnd) != nullptr) {
    w->needSize = false;
    Send(w, WM_SIZE, SIZE_RESTORED, SizeParam(w));
    if (Lookup(hWnd) != nullptr) Send(w, WM_MOVE, 0, MoveParam(w));
  }
  return wasVisible;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  Window* w = Lookup(hWnd);
  if (w == nullptr || lpRect == nullptr) return FALSE;
  lpRect->left = 0;
  lpRect->top = 0;
  lpRect->right = w->clientWidth;
  lpRect->bottom = w->clientHeight;
  return TRUE;
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  Window* w = Lookup(hWnd);
  if (w == nullptr || lpString == nullptr || nMaxCount <= 0) return 0;
  int n = 0;
  for (; w->title[n] != 0 && n + 1 < nMaxCount; ++n) lpString[n] = w->title[n];
  lpString[n] = 0;
  return n;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return 0;
  LONG_PTR previous = 0;
  switch (nIndex) {
    case GWLP_USERDATA:
      previous = w->userData;
      w->userData = dwNewLong;
      break;
    case GWLP_WNDPROC:
      if (dwNewLong == 0) return 0;
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
      break;
    case GWLP_HINSTANCE:
      previous = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
      break;
    case GWLP_ID:
      previous = w->id;
      w->id = dwNewLong;
      break;
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(dwNewLong);
      break;
    case GWL_EXSTYLE:
      previous = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(dwNewLong);
      break;
    default:
      return 0;
  }
  return previous;
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return 0;
  switch (nIndex) {
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID:
      return w->id;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    default:
      return 0;
  }
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Lookup(hWnd);
  return w != nullptr ? Send(w, Msg, wParam, lParam) : 0;
}
