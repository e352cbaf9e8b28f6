// SDL's video subsystem: started by the first window (or message box), shut
// down once at process exit after every static object is gone.
#include <stdio.h>
#include <stdlib.h>

#include "DisplayLoss.h"
#include "User32State.h"

namespace {

using namespace ostrevin::win32;

void ShutdownVideo() {
  if (State().video != Video::kReady) return;
  for (Window& w : State().windows) {
    if (w.sdl != nullptr) {
      SDL_DestroyWindow(w.sdl);
      w.sdl = nullptr;
    }
  }
  State().video = Video::kShutDown;
  SDL_Quit();
}

// SDL_Quit runs after the program's globals are destroyed (a global that
// releases the Direct3D device in its destructor still has SDL): a handler
// registered before any static object is constructed runs after all of
// their destructors.
__attribute__((constructor(101))) void RegisterShutdown() { atexit(ShutdownVideo); }

}  // namespace

namespace ostrevin::win32 {

bool InitVideo() {
  Video& video = State().video;
  if (video == Video::kReady) return true;
  if (video != Video::kUntried) return false;
  // Only real display backends: without a display the window cannot be
  // created, rather than SDL quietly choosing its offscreen driver. An
  // explicit SDL_VIDEODRIVER (offscreen for benchmarks, say) is honoured.
  // Wayland is tried only where libwayland can find a socket (it complains
  // on standard error otherwise).
  const char* driver = getenv("SDL_VIDEODRIVER");
#ifdef __EMSCRIPTEN__
  // A web page's one display: the canvas.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "emscripten");
  driver = "emscripten";
#endif
  if (driver == nullptr || *driver == 0) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    const bool waylandPossible = (runtime != nullptr && *runtime != 0) || (wayland != nullptr && wayland[0] == '/');
    SDL_SetHint(SDL_HINT_VIDEODRIVER, waylandPossible ? "x11,wayland" : "x11");
  }
  // Ctrl+C and SIGTERM keep their default meaning, and closing the last
  // window is only WM_CLOSE: SDL's quit event then comes from the window
  // system alone, when it ends (a Wayland compositor gone).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // A display that is configured but does not answer at once (a busy X
  // server refusing a connection) gets two more tries; without one
  // configured the answer is final.
  const char* display = getenv("DISPLAY");
  const bool configured = display != nullptr && *display != 0;
  int tries = configured ? 3 : 1;
  while (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (--tries == 0) {
      if (configured) fprintf(stderr, "ostrevin: cannot open display %s: %s\n", display, SDL_GetError());
      video = Video::kFailed;
      return false;
    }
    SDL_Delay(100);
  }
  SDL_StopTextInput();
  WatchDisplay();
  video = Video::kReady;
  return true;
}

}  // namespace ostrevin::win32
