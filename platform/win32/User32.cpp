// USER32 over SDL2: window classes, windows (one SDL window each, created
// with an OpenGL pixel format for the Direct3D 9 device), the thread's
// message queue, painting, the keyboard and message boxes.
//
// Everything lives in fixed tables: a window class table, a window table
// whose HWNDs carry a generation (a destroyed HWND never becomes valid
// again by accident) and a ring buffer of posted messages. PeekMessageW and
// GetAsyncKeyState run every frame and allocate nothing.
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "IconArt.h"
#include "Switches.h"
#include "Win32Internal.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// ---------------------------------------------------------------------------
// Window metrics. The non-client frame of a window with a caption or a
// sizing border, as Windows 10 has it for WS_OVERLAPPEDWINDOW at 96 dpi:
// 8 pixels left, right and bottom, 31 at the top (caption plus frame), so an
// 800x600 window has a 784x561 client area. The SDL window is the client
// area; the window manager draws its own decorations around it.
constexpr int kFrameLeft = 8;
constexpr int kFrameRight = 8;
constexpr int kFrameTop = 31;
constexpr int kFrameBottom = 8;
// CW_USEDEFAULT size, and the smallest tracking size (SM_CXMINTRACK/SM_CYMINTRACK).
constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;
constexpr int kMinTrackWidth = 136;
constexpr int kMinTrackHeight = 39;

constexpr int kMaxClasses = 32;
constexpr int kMaxWindows = 64;
constexpr int kClassNameMax = 128;
constexpr int kTitleMax = 256;
constexpr int kQueueCapacity = 1024;

constexpr WPARAM kScClose = 0xF060;
constexpr int kLargeIconId = 107;
constexpr int kSmallIconId = 108;
constexpr int kIconSize = 48;

// WM_GETMINMAXINFO's lParam (MINMAXINFO, not in our windows.h).
struct MinMaxInfo {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

// ---------------------------------------------------------------------------
// Resources: the program's two icons and the arrow cursor.
struct HICON__ g_largeIcon;
struct HICON__ g_smallIcon;
struct HICON__ g_arrowCursor;

struct WindowClass {
  bool used;
  ATOM atom;
  UINT style;
  WNDPROC proc;
  HINSTANCE instance;
  HICON icon;
  HICON iconSmall;
  HCURSOR cursor;
  HBRUSH background;
  WCHAR name[kClassNameMax];
};

struct Window {
  uint16_t generation;
  bool live;
  bool destroying;
  const WindowClass* cls;
  WNDPROC proc;
  LONG_PTR userData;
  LONG_PTR id;
  HINSTANCE instance;
  DWORD style;
  DWORD exStyle;
  int x, y;  // outer position
  int clientWidth, clientHeight;
  bool visible;
  bool minimized;
  bool needsPaint;
  bool needsErase;
  SDL_Window* sdl;
  Uint32 sdlId;
  WCHAR title[kTitleMax];
};

WindowClass g_classes[kMaxClasses];
Window g_windows[kMaxWindows];
struct HDC__ g_dcs[kMaxWindows];

// The thread's posted messages, oldest first.
struct Queue {
  MSG items[kQueueCapacity];
  int head = 0;
  int count = 0;
  MSG& At(int i) { return items[(head + i) % kQueueCapacity]; }
};
Queue g_queue;
bool g_quitPosted = false;
int g_quitCode = 0;

enum class Video { kUntried, kReady, kFailed, kShutDown };
Video g_video = Video::kUntried;


// ---------------------------------------------------------------------------
// Text.

// Appends the UTF-8 form of code point c to out (capacity cap, used *n).
void PutUtf8(uint32_t c, char* out, size_t cap, size_t* n) {
  char tmp[4];
  size_t len;
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    tmp[0] = static_cast<char>(c);
    len = 1;
  } else if (c < 0x800) {
    tmp[0] = static_cast<char>(0xC0 | (c >> 6));
    tmp[1] = static_cast<char>(0x80 | (c & 0x3F));
    len = 2;
  } else if (c < 0x10000) {
    tmp[0] = static_cast<char>(0xE0 | (c >> 12));
    tmp[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    tmp[2] = static_cast<char>(0x80 | (c & 0x3F));
    len = 3;
  } else {
    tmp[0] = static_cast<char>(0xF0 | (c >> 18));
    tmp[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    tmp[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    tmp[3] = static_cast<char>(0x80 | (c & 0x3F));
    len = 4;
  }
  if (*n + len < cap) {
    memcpy(out + *n, tmp, len);
    *n += len;
  }
}

// UTF-32 to UTF-8 into a fixed buffer (truncated when it does not fit).
void ToUtf8(LPCWSTR text, char* out, size_t cap) {
  size_t n = 0;
  for (; text != nullptr && *text != 0; ++text) PutUtf8(static_cast<uint32_t>(*text), out, cap, &n);
  out[n] = 0;
}

// Writes text to standard error as UTF-8, in pieces, without allocating.
void WriteUtf8(FILE* f, LPCWSTR text) {
  char chunk[512];
  size_t n = 0;
  for (; text != nullptr && *text != 0; ++text) {
    if (n + 4 >= sizeof(chunk) - 1) {
      fwrite(chunk, 1, n, f);
      n = 0;
    }
    PutUtf8(static_cast<uint32_t>(*text), chunk, sizeof(chunk), &n);
  }
  fwrite(chunk, 1, n, f);
}

WCHAR FoldCase(WCHAR c) { return (c >= L'A' && c <= L'Z') ? static_cast<WCHAR>(c - L'A' + L'a') : c; }

bool SameClassName(const WCHAR* a, const WCHAR* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
  }
  return *a == *b;
}

// ---------------------------------------------------------------------------
// Lookups.

HWND MakeHwnd(int slot) {
  const uintptr_t v = (static_cast<uintptr_t>(g_windows[slot].generation) << 8) | static_cast<uintptr_t>(slot + 1);
  return reinterpret_cast<HWND>(v);
}

Window* Lookup(HWND hWnd) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(hWnd);
  const uintptr_t slot = (v & 0xFF) - 1;
  if (v == 0 || slot >= static_cast<uintptr_t>(kMaxWindows) || (v >> 8) > 0xFFFF) return nullptr;
  Window& w = g_windows[slot];
  if (!w.live || w.generation != (v >> 8)) return nullptr;
  return &w;
}

int SlotOf(const Window* w) { return static_cast<int>(w - g_windows); }

Window* LookupSdl(Uint32 sdlId) {
  for (Window& w : g_windows) {
    if (w.live && w.sdl != nullptr && w.sdlId == sdlId) return &w;
  }
  return nullptr;
}

WindowClass* FindClass(LPCWSTR name) {
  if (name == nullptr) return nullptr;
  for (WindowClass& c : g_classes) {
    if (!c.used) continue;
    if (IS_INTRESOURCE(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                             : SameClassName(c.name, name)) {
      return &c;
    }
  }
  return nullptr;
}

bool HasFrame(DWORD style) { return (style & (WS_CAPTION | WS_THICKFRAME)) != 0; }

LRESULT Send(Window* w, UINT msg, WPARAM wParam, LPARAM lParam) {
  return w->proc(MakeHwnd(SlotOf(w)), msg, wParam, lParam);
}

LPARAM SizeParam(const Window* w) { return MAKELPARAM(w->clientWidth, w->clientHeight); }

LPARAM MoveParam(const Window* w) {
  const int frameX = HasFrame(w->style) ? kFrameLeft : 0, frameY = HasFrame(w->style) ? kFrameTop : 0;
  return MAKELPARAM(w->x + frameX, w->y + frameY);
}

// ---------------------------------------------------------------------------
// SDL.

void ShutdownSdl() {
  if (g_video != Video::kReady) return;
  for (Window& w : g_windows) {
    if (w.sdl != nullptr) {
      SDL_DestroyWindow(w.sdl);
      w.sdl = nullptr;
    }
  }
  g_video = Video::kShutDown;
  SDL_Quit();
}

bool InitVideo() {
  if (g_video == Video::kReady) return true;
  if (g_video != Video::kUntried) return false;
  // Only real display backends: without a display the window cannot be
  // created, rather than SDL quietly choosing its offscreen driver. An
  // explicit SDL_VIDEODRIVER (offscreen for benchmarks, say) is honoured.
  // Wayland is tried only where libwayland can find a socket (it complains
  // on standard error otherwise).
  const char* driver = getenv("SDL_VIDEODRIVER");
  if (driver == nullptr || *driver == 0) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    const bool waylandPossible = (runtime != nullptr && *runtime != 0) || (wayland != nullptr && wayland[0] == '/');
    SDL_SetHint(SDL_HINT_VIDEODRIVER, waylandPossible ? "x11,wayland" : "x11");
  }
  // Ctrl+C and SIGTERM keep their default meaning.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A display that is configured but does not answer at once (a busy X
  // server refusing a connection) gets two more tries; without one
  // configured the answer is final.
  const char* display = getenv("DISPLAY");
  const bool configured = display != nullptr && *display != 0;
  int tries = configured ? 3 : 1;
  while (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (--tries == 0) {
      if (configured) fprintf(stderr, "ostrevin: cannot open display %s: %s\n", display, SDL_GetError());
      g_video = Video::kFailed;
      return false;
    }
    SDL_Delay(100);
  }
  SDL_StopTextInput();
  g_video = Video::kReady;
  return true;
}

// SDL_Quit runs after the program's globals are destroyed (a global that
// releases the Direct3D device in its destructor still has SDL): a handler
// registered before any static object is constructed runs after all of
// their destructors.
__attribute__((constructor(101))) void RegisterShutdown() { atexit(ShutdownSdl); }

// ---------------------------------------------------------------------------
// Keyboard.

struct KeyMapping {
  int vk;
  SDL_Scancode scancode;
};
const KeyMapping kSpecialKeys[] = {
    {VK_BACK, SDL_SCANCODE_BACKSPACE}, {VK_TAB, SDL_SCANCODE_TAB},         {VK_RETURN, SDL_SCANCODE_RETURN},
    {VK_RETURN, SDL_SCANCODE_KP_ENTER}, {VK_ESCAPE, SDL_SCANCODE_ESCAPE},  {VK_SPACE, SDL_SCANCODE_SPACE},
    {VK_PRIOR, SDL_SCANCODE_PAGEUP},    {VK_NEXT, SDL_SCANCODE_PAGEDOWN},  {VK_END, SDL_SCANCODE_END},
    {VK_HOME, SDL_SCANCODE_HOME},       {VK_LEFT, SDL_SCANCODE_LEFT},      {VK_UP, SDL_SCANCODE_UP},
    {VK_RIGHT, SDL_SCANCODE_RIGHT},     {VK_DOWN, SDL_SCANCODE_DOWN},      {VK_INSERT, SDL_SCANCODE_INSERT},
    {VK_DELETE, SDL_SCANCODE_DELETE},   {VK_SHIFT, SDL_SCANCODE_LSHIFT},   {VK_SHIFT, SDL_SCANCODE_RSHIFT},
    {VK_CONTROL, SDL_SCANCODE_LCTRL},   {VK_CONTROL, SDL_SCANCODE_RCTRL},  {VK_MENU, SDL_SCANCODE_LALT},
    {VK_MENU, SDL_SCANCODE_RALT},
};

// The virtual-key code of an SDL key event; 0 for keys we do not report.
int VirtualKey(const SDL_Keysym& key) {
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + (key.sym - SDLK_a);
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return '0' + (key.sym - SDLK_0);
  if (key.scancode >= SDL_SCANCODE_F1 && key.scancode <= SDL_SCANCODE_F12) {
    return VK_F1 + (key.scancode - SDL_SCANCODE_F1);
  }
  for (const KeyMapping& m : kSpecialKeys) {
    if (m.scancode == key.scancode) return m.vk;
  }
  return 0;
}

bool RealKeyDown(int vk) {
  if (g_video != Video::kReady) return false;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  auto down = [&](SDL_Scancode s) { return s > SDL_SCANCODE_UNKNOWN && s < count && state[s] != 0; };
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
    const SDL_Keycode sym = vk <= '9' ? SDLK_0 + (vk - '0') : SDLK_a + (vk - 'A');
    return down(SDL_GetScancodeFromKey(sym));
  }
  if (vk >= VK_F1 && vk < VK_F1 + 12) return down(static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (vk - VK_F1)));
  for (const KeyMapping& m : kSpecialKeys) {
    if (m.vk == vk && down(m.scancode)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The message queue.

bool IsDroppable(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP ||
         message == WM_CHAR || message == WM_SIZE || message == WM_MOVE || message == WM_MOUSEMOVE;
}

void RemoveAt(int index) {
  // Close the gap by moving the later messages one place toward the head.
  for (int i = index; i + 1 < g_queue.count; ++i) g_queue.At(i) = g_queue.At(i + 1);
  --g_queue.count;
}

bool Enqueue(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_queue.count == kQueueCapacity) {
    // Full: make room by dropping the oldest input or size message.
    int victim = -1;
    for (int i = 0; i < g_queue.count && victim < 0; ++i) {
      if (IsDroppable(g_queue.At(i).message)) victim = i;
    }
    if (victim < 0) return false;
    RemoveAt(victim);
  }
  MSG& m = g_queue.At(g_queue.count++);
  m.hwnd = hWnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  m.pt.x = 0;
  m.pt.y = 0;
  return true;
}

// Puts a message before every other one (the character TranslateMessage makes).
void EnqueueFront(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Enqueue(hWnd, message, wParam, lParam)) return;
  const MSG m = g_queue.At(g_queue.count - 1);
  for (int i = g_queue.count - 1; i > 0; --i) g_queue.At(i) = g_queue.At(i - 1);
  g_queue.At(0) = m;
}

void PurgeWindow(HWND hWnd) {
  int kept = 0;
  for (int i = 0; i < g_queue.count; ++i) {
    if (g_queue.At(i).hwnd != hWnd) g_queue.At(kept++) = g_queue.At(i);
  }
  g_queue.count = kept;
}

bool Matches(const MSG& m, HWND hWnd, UINT first, UINT last) {
  if (hWnd == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
    if (m.hwnd != nullptr) return false;
  } else if (hWnd != nullptr && m.hwnd != hWnd) {
    return false;
  }
  return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

void Invalidate(Window* w, bool erase) {
  w->needsPaint = true;
  if (erase) w->needsErase = true;
}

void ClientResized(Window* w, int width, int height) {
  if (width == w->clientWidth && height == w->clientHeight) return;
  w->clientWidth = width;
  w->clientHeight = height;
  if (w->cls->style & (CS_HREDRAW | CS_VREDRAW)) Invalidate(w, true);
  const Uint32 flags = w->sdl != nullptr ? SDL_GetWindowFlags(w->sdl) : 0;
  Send(w, WM_SIZE, (flags & SDL_WINDOW_MAXIMIZED) ? SIZE_MAXIMIZED : SIZE_RESTORED, SizeParam(w));
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
  Window* w = LookupSdl(e.windowID);
  if (w == nullptr || w->destroying) return;
  const HWND hWnd = MakeHwnd(SlotOf(w));
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      Enqueue(hWnd, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      ClientResized(w, e.data1, e.data2);
      break;
    case SDL_WINDOWEVENT_MOVED: {
      const int x = e.data1 - (HasFrame(w->style) ? kFrameLeft : 0);
      const int y = e.data2 - (HasFrame(w->style) ? kFrameTop : 0);
      if (x != w->x || y != w->y) {
        w->x = x;
        w->y = y;
        Send(w, WM_MOVE, 0, MoveParam(w));
      }
      break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
      Invalidate(w, true);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      w->minimized = true;
      Send(w, WM_SIZE, SIZE_MINIMIZED, 0);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
      if (w->minimized || e.event == SDL_WINDOWEVENT_MAXIMIZED) {
        w->minimized = false;
        Send(w, WM_SIZE, e.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED, SizeParam(w));
      }
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      Send(w, WM_SETFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      Send(w, WM_KILLFOCUS, 0, 0);
      break;
    default:
      break;
  }
}

void TranslateKeyEvent(const SDL_KeyboardEvent& e) {
  const int vk = VirtualKey(e.keysym);
  if (vk == 0) return;
  Window* w = LookupSdl(e.windowID);
  if (w == nullptr) {
    // Key events without a focus window go to the first window.
    for (Window& candidate : g_windows) {
      if (candidate.live && !candidate.destroying) {
        w = &candidate;
        break;
      }
    }
  }
  if (w == nullptr || w->destroying) return;
  const bool down = e.type == SDL_KEYDOWN;
  const bool alt = (e.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
  // lParam: repeat count 1, previous state (bit 30), transition (bit 31).
  LPARAM lParam = 1;
  if (!down || e.repeat) lParam |= LPARAM(1) << 30;
  if (!down) lParam |= LPARAM(1) << 31;
  const UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  Enqueue(MakeHwnd(SlotOf(w)), message, static_cast<WPARAM>(vk), lParam);
}

void PollSdl() {
  if (g_video != Video::kReady) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_WINDOWEVENT:
        TranslateWindowEvent(e.window);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        TranslateKeyEvent(e.key);
        break;
      default:
        break;
    }
  }
}

const uint8_t* IconPixels() {
  static uint8_t pixels[kIconSize * kIconSize * 4];
  static bool drawn = false;
  if (!drawn) {
    DrawOstrevinIcon(kIconSize, pixels);
    drawn = true;
  }
  return pixels;
}

void SetSdlIcon(SDL_Window* window) {
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
  const Uint32 r = 0xFF000000, g = 0x00FF0000, b = 0x0000FF00, a = 0x000000FF;
#else
  const Uint32 r = 0x000000FF, g = 0x0000FF00, b = 0x00FF0000, a = 0xFF000000;
#endif
  SDL_Surface* icon = SDL_CreateRGBSurfaceFrom(const_cast<uint8_t*>(IconPixels()), kIconSize, kIconSize, 32,
                                               kIconSize * 4, r, g, b, a);
  if (icon == nullptr) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

void FreeSlot(Window* w) {
  if (w->sdl != nullptr) SDL_DestroyWindow(w->sdl);
  w->sdl = nullptr;
  w->sdlId = 0;
  w->live = false;
  w->destroying = false;
  w->generation = static_cast<uint16_t>(w->generation == 0xFFFF ? 1 : w->generation + 1);
}

bool ShowCommandShows(int nCmdShow) { return nCmdShow != SW_HIDE; }

}  // namespace

// ---------------------------------------------------------------------------
// The layer's own interface.

namespace ostrevin::win32 {

SDL_Window* SdlWindow(HWND hWnd) {
  Window* w = Lookup(hWnd);
  return w != nullptr ? w->sdl : nullptr;
}

void DrawableSize(HWND hWnd, int* width, int* height) {
  int w = 0, h = 0;
  if (SDL_Window* window = SdlWindow(hWnd)) SDL_GL_GetDrawableSize(window, &w, &h);
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
}


bool DisplayAvailable() { return InitVideo(); }

}  // namespace ostrevin::win32

// ---------------------------------------------------------------------------
// Classes and resources.

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
  if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXW) || wc->lpfnWndProc == nullptr ||
      wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == 0) {
    return 0;
  }
  if (wcslen(wc->lpszClassName) >= static_cast<size_t>(kClassNameMax) || FindClass(wc->lpszClassName) != nullptr) {
    return 0;
  }
  for (int i = 0; i < kMaxClasses; ++i) {
    WindowClass& c = g_classes[i];
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
  for (const Window& w : g_windows) {
    if (w.live && w.cls == c) return FALSE;  // still in use
  }
  c->used = false;
  return TRUE;
}

HICON WINAPI LoadIconW(HINSTANCE, LPCWSTR lpIconName) {
  if (!IS_INTRESOURCE(lpIconName)) return nullptr;
  switch (static_cast<int>(reinterpret_cast<ULONG_PTR>(lpIconName))) {
    case kLargeIconId:
      return &g_largeIcon;
    case kSmallIconId:
      return &g_smallIcon;
    default:
      return nullptr;
  }
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  return hInstance == nullptr && lpCursorName == IDC_ARROW ? &g_arrowCursor : nullptr;
}

// ---------------------------------------------------------------------------
// Windows.

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  const WindowClass* cls = FindClass(lpClassName);
  if (cls == nullptr || !InitVideo()) return nullptr;
  int slot = -1;
  for (int i = 0; i < kMaxWindows && slot < 0; ++i) {
    if (!g_windows[i].live) slot = i;
  }
  if (slot < 0) return nullptr;

  // Size and place: CW_USEDEFAULT is centred on the primary display.
  if (nWidth == CW_USEDEFAULT) {
    nWidth = kDefaultWidth;
    nHeight = kDefaultHeight;
  }
  if (X == CW_USEDEFAULT) {
    SDL_Rect bounds = {0, 0, 0, 0};
    SDL_GetDisplayBounds(0, &bounds);
    X = bounds.x + (bounds.w > nWidth ? (bounds.w - nWidth) / 2 : 0);
    Y = bounds.y + (bounds.h > nHeight ? (bounds.h - nHeight) / 2 : 0);
  }

  Window& w = g_windows[slot];
  const uint16_t generation = w.generation == 0 ? 1 : w.generation;
  memset(&w, 0, sizeof(w));
  w.generation = generation;
  w.live = true;
  w.cls = cls;
  w.proc = cls->proc;
  w.instance = hInstance;
  w.id = reinterpret_cast<LONG_PTR>(hMenu);
  w.style = dwStyle;
  w.exStyle = dwExStyle;
  w.x = X;
  w.y = Y;
  w.needsPaint = true;
  w.needsErase = true;
  for (size_t i = 0; lpWindowName != nullptr && lpWindowName[i] != 0 && i + 1 < static_cast<size_t>(kTitleMax); ++i) {
    w.title[i] = lpWindowName[i];  // kept to kTitleMax - 1 characters
  }
  const HWND hWnd = MakeHwnd(slot);

  MinMaxInfo mmi;
  memset(&mmi, 0, sizeof(mmi));
  mmi.ptMaxSize = {nWidth > kDefaultWidth ? nWidth : kDefaultWidth, nHeight > kDefaultHeight ? nHeight : kDefaultHeight};
  mmi.ptMinTrackSize = {kMinTrackWidth, kMinTrackHeight};
  mmi.ptMaxTrackSize = {32767, 32767};
  Send(&w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  if (Lookup(hWnd) == nullptr) return nullptr;  // destroyed by its own procedure
  if (nWidth < mmi.ptMinTrackSize.x) nWidth = mmi.ptMinTrackSize.x;
  if (nHeight < mmi.ptMinTrackSize.y) nHeight = mmi.ptMinTrackSize.y;

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

  // The pixel format the OpenGL device draws with: RGBA8, no depth or
  // stencil on the default framebuffer (the device renders into its own),
  // double buffered.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  char title[kTitleMax * 4];
  ToUtf8(w.title, title, sizeof(title));
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN;
  const int sdlW = w.clientWidth > 0 ? w.clientWidth : 1, sdlH = w.clientHeight > 0 ? w.clientHeight : 1;
  w.sdl = SDL_CreateWindow(title, rc.left, rc.top, sdlW, sdlH, flags);
  if (w.sdl == nullptr) {
    // A display without alpha visuals (a 16-bit X server, say): an opaque
    // framebuffer is what the device presents anyway.
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    w.sdl = SDL_CreateWindow(title, rc.left, rc.top, sdlW, sdlH, flags);
  }
  if (w.sdl == nullptr) {
    fprintf(stderr, "CreateWindowExW: SDL_CreateWindow failed: %s\n", SDL_GetError());
    Send(&w, WM_NCDESTROY, 0, 0);
    FreeSlot(&w);
    return nullptr;
  }
  w.sdlId = SDL_GetWindowID(w.sdl);
  const int frameW = w.clientWidth > 0 ? nWidth - w.clientWidth : 0, frameH = w.clientHeight > 0 ? nHeight - w.clientHeight : 0;
  const int minW = mmi.ptMinTrackSize.x - frameW, minH = mmi.ptMinTrackSize.y - frameH;
  SDL_SetWindowMinimumSize(w.sdl, minW > 1 ? minW : 1, minH > 1 ? minH : 1);
  if (cls->icon != nullptr && cls->icon == &g_largeIcon) SetSdlIcon(w.sdl);

  if (Send(&w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hWnd);
    return nullptr;
  }
  if (Lookup(hWnd) == nullptr) return nullptr;  // destroyed during WM_CREATE
  Send(&w, WM_SIZE, SIZE_RESTORED, SizeParam(&w));
  Send(&w, WM_MOVE, 0, MoveParam(&w));
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
  if (!wasVisible && Lookup(hWnd) != nullptr) Send(w, WM_SIZE, SIZE_RESTORED, SizeParam(w));
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return FALSE;
  if (w->needsPaint) Send(w, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL bErase) {
  if (hWnd == nullptr) {
    for (Window& w : g_windows) {
      if (w.live) Invalidate(&w, bErase != FALSE);
    }
    return TRUE;
  }
  Window* w = Lookup(hWnd);
  if (w == nullptr) return FALSE;
  Invalidate(w, bErase != FALSE);
  return TRUE;
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

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return FALSE;
  size_t n = 0;
  for (; lpString != nullptr && lpString[n] != 0 && n + 1 < static_cast<size_t>(kTitleMax); ++n) {
    w->title[n] = lpString[n];
  }
  w->title[n] = 0;
  if (w->sdl != nullptr) {
    char title[kTitleMax * 4];
    ToUtf8(w->title, title, sizeof(title));
    SDL_SetWindowTitle(w->sdl, title);
  }
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

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Lookup(hWnd);
  if (w == nullptr) return 0;
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_NCCALCSIZE:
      if (!wParam && lParam != 0 && HasFrame(w->style)) {
        RECT* rc = reinterpret_cast<RECT*>(lParam);
        rc->left += kFrameLeft;
        rc->top += kFrameTop;
        rc->right -= kFrameRight;
        rc->bottom -= kFrameBottom;
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

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Lookup(hWnd);
  return w != nullptr ? Send(w, Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd != nullptr && Lookup(hWnd) == nullptr) return FALSE;
  return Enqueue(hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  g_quitPosted = true;
  g_quitCode = nExitCode;
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) return FALSE;
  PollSdl();
  for (int i = 0; i < g_queue.count; ++i) {
    if (Matches(g_queue.At(i), hWnd, wMsgFilterMin, wMsgFilterMax)) {
      *lpMsg = g_queue.At(i);
      if (wRemoveMsg & PM_REMOVE) RemoveAt(i);
      return TRUE;
    }
  }
  // WM_QUIT belongs to no window: a filter on one window never sees it.
  const bool anyWindow = hWnd == nullptr || hWnd == reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
  if (g_quitPosted && anyWindow) {
    memset(lpMsg, 0, sizeof(*lpMsg));
    lpMsg->message = WM_QUIT;
    lpMsg->wParam = static_cast<WPARAM>(static_cast<intptr_t>(g_quitCode));
    lpMsg->time = GetTickCount();
    if (wRemoveMsg & PM_REMOVE) g_quitPosted = false;
    return TRUE;
  }
  const bool wantPaint = (wMsgFilterMin == 0 && wMsgFilterMax == 0) ||
                         (WM_PAINT >= wMsgFilterMin && WM_PAINT <= wMsgFilterMax);
  if (wantPaint && hWnd != reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
    for (int i = 0; i < kMaxWindows; ++i) {
      Window& w = g_windows[i];
      if (!w.live || w.destroying || !w.needsPaint) continue;
      const HWND candidate = MakeHwnd(i);
      if (hWnd != nullptr && hWnd != candidate) continue;
      memset(lpMsg, 0, sizeof(*lpMsg));
      lpMsg->hwnd = candidate;
      lpMsg->message = WM_PAINT;
      lpMsg->time = GetTickCount();
      return TRUE;
    }
  }
  return FALSE;
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) return -1;
  for (;;) {
    if (PeekMessageW(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE)) {
      return lpMsg->message != WM_QUIT;
    }
    if (g_video == Video::kReady) {
      SDL_WaitEventTimeout(nullptr, 10);
    } else {
      usleep(10000);
    }
  }
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  if (lpMsg == nullptr) return FALSE;
  if (lpMsg->message == WM_KEYDOWN) {
    // WM_CHAR for the keys whose character does not depend on the layout
    // beyond the shift state; it is the next message retrieved.
    const WPARAM vk = lpMsg->wParam;
    const Uint16 mod = g_video == Video::kReady ? SDL_GetModState() : 0;
    const bool upper = ((mod & KMOD_SHIFT) != 0) != ((mod & KMOD_CAPS) != 0);
    WPARAM c = 0;
    if (vk >= 'A' && vk <= 'Z') c = upper ? vk : vk - 'A' + 'a';
    if (vk >= '0' && vk <= '9' && (mod & KMOD_SHIFT) == 0) c = vk;
    if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE) c = vk;
    if (c != 0) EnqueueFront(lpMsg->hwnd, WM_CHAR, c, lpMsg->lParam);
  }
  return lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_KEYUP || lpMsg->message == WM_SYSKEYDOWN ||
         lpMsg->message == WM_SYSKEYUP;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == nullptr || lpMsg->message == WM_QUIT) return 0;
  Window* w = Lookup(lpMsg->hwnd);
  return w != nullptr ? Send(w, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0;
}

// ---------------------------------------------------------------------------
// Painting.

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  Window* w = Lookup(hWnd);
  if (w == nullptr || lpPaint == nullptr) return nullptr;
  const HDC dc = &g_dcs[SlotOf(w)];
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

// ---------------------------------------------------------------------------
// Keyboard, message boxes, debug output, time.

SHORT WINAPI GetAsyncKeyState(int vKey) {
  const bool down = RealKeyDown(vKey) || ostrevin::switches::ScriptedKeyDown(vKey);
  return down ? static_cast<SHORT>(0x8000) : 0;
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  char caption[512], text[4096];
  ToUtf8(lpCaption != nullptr ? lpCaption : L"Error", caption, sizeof(caption));
  ToUtf8(lpText, text, sizeof(text));
  // One line on standard error, whatever line breaks the box text has.
  char line[sizeof(text)];
  memcpy(line, text, sizeof(text));
  for (char* c = line; *c != 0; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  fprintf(stderr, "%s: %s\n", caption, line);
  fflush(stderr);
  if (ostrevin::switches::Get().nativeMessageBox && InitVideo()) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((uType & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if ((uType & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_ShowSimpleMessageBox(flags, caption, text, ostrevin::win32::SdlWindow(hWnd));
  }
  return IDOK;
}

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
  WriteUtf8(stderr, lpOutputString);
  fflush(stderr);
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString != nullptr) fputs(lpOutputString, stderr);
  fflush(stderr);
}

DWORD WINAPI GetTickCount(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}
