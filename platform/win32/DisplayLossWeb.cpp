// The display of a web page: there is no connection to lose and no other
// client to destroy the canvas, so nothing is watched; DisplayLost ends the
// process as on X11, with one line and exit code 1.
#include <unistd.h>

#include <cstring>

#include "DisplayLoss.h"

namespace ostrevin::win32 {

void WatchDisplay() {}

unsigned long DestroyedWindow(const SDL_Event&) { return 0; }

unsigned long NativeWindow(SDL_Window*) { return 0; }

void DisplayLost(const char* what) {
  const char* prefix = "ostrevin: ";
  ssize_t written = write(2, prefix, std::strlen(prefix));
  written = write(2, what, std::strlen(what));
  written = write(2, "\n", 1);
  (void)written;
  _exit(1);
}

}  // namespace ostrevin::win32
