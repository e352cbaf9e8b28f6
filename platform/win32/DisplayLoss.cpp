// The display going away. Xlib calls its I/O error handler once the
// connection breaks (the X server ended, the client killed with
// XKillClient, the session closed) and its error handler for a request the
// server refused that nobody was waiting for (the window destroyed by
// another client, then drawn to). Both would otherwise end in exit(), whose
// handlers ask SDL to destroy windows on the broken connection, where SDL
// waits for a reply that never comes.
#include "DisplayLoss.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <initializer_list>

namespace {

// write() and _exit() only: the handlers run inside whatever Xlib call met
// the failure, which may be in the middle of anything, stdio included.
[[noreturn]] void Die(const char* what, const char* detail) {
  char line[256];
  size_t n = 0;
  for (const char* part : {"ostrevin: ", what, detail, "\n"}) {
    for (; part != nullptr && *part != 0 && n + 1 < sizeof(line); ++part) line[n++] = *part;
  }
  if (line[n - 1] != '\n') line[n - 1] = '\n';
  ssize_t written = write(2, line, n);
  (void)written;
  _exit(1);
}

int OnConnectionLost(Display* display) {
  Die("lost the connection to the display ", display != nullptr ? DisplayString(display) : "");
}

int OnRequestRefused(Display* display, XErrorEvent* e) {
  char text[128] = "";
  XGetErrorText(display, e->error_code, text, sizeof(text));
  Die("the display refused a request: ", text);
}

}  // namespace

namespace ostrevin::win32 {

void WatchDisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || strcmp(driver, "x11") != 0) return;
  XSetIOErrorHandler(OnConnectionLost);
  XSetErrorHandler(OnRequestRefused);
  // A write on the broken connection then fails with EPIPE, which reaches
  // the I/O error handler, instead of ending the process without a word.
  struct sigaction current;
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

unsigned long DestroyedWindow(const SDL_Event& e) {
  if (e.type != SDL_SYSWMEVENT || e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_X11) return 0;
  const XEvent& x = e.syswm.msg->msg.x11.event;
  return x.type == DestroyNotify ? x.xdestroywindow.window : 0;
}

unsigned long NativeWindow(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

void DisplayLost(const char* what) { Die(what, nullptr); }

}  // namespace ostrevin::win32
