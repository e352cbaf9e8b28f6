// What the window system reports, turned into what Windows would send or
// post: window events (close, size, move, expose, minimise, focus) and key
// events; a window destroyed by another client ends the process.
// PeekMessageW polls here before it looks at the queue.
#include "DisplayLoss.h"
#include "NonClientMetrics.h"
#include "User32State.h"

namespace {

using namespace ostrevin::win32;

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
      const FrameMetrics frame = FrameFor(w->style);
      const int x = e.data1 - frame.left, y = e.data2 - frame.top;
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
    for (Window& candidate : State().windows) {
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

// A live window's X window destroyed by another client: its drawing
// surface is gone, and nothing the program could be sent would bring it
// back.
void CheckDestroyedFromOutside(const SDL_Event& e) {
  const unsigned long destroyed = DestroyedWindow(e);
  if (destroyed == 0) return;
  for (const Window& w : State().windows) {
    if (w.live && w.native == destroyed && NativeWindow(w.sdl) == destroyed) {
      DisplayLost("the window was destroyed by another program");
    }
  }
}

}  // namespace

namespace ostrevin::win32 {

void PollSdl() {
  if (State().video != Video::kReady) return;
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
      case SDL_SYSWMEVENT:
        CheckDestroyedFromOutside(e);
        break;
      case SDL_QUIT:
        DisplayLost("the window system ended the session");
      default:
        break;
    }
  }
}

}  // namespace ostrevin::win32
