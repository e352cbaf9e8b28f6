// When the display goes away: the process ends at once with one line on
// standard error and exit code 1. Exit handlers are not run, since they
// would tear windows down over a connection that no longer answers.
// Private to platform/win32; free of windows.h, as its X11 side clashes
// with it.
#pragma once

#include <SDL.h>

namespace ostrevin::win32 {

// Called once the video subsystem runs: installs the X connection's fatal
// I/O error handler and its protocol error handler, and asks SDL for the
// window system's own events.
void WatchDisplay();

// The X window that another client destroyed, as reported by a window
// system event, or 0.
unsigned long DestroyedWindow(const SDL_Event& e);

// The X window behind an SDL window, or 0.
unsigned long NativeWindow(SDL_Window* window);

// Writes "ostrevin: <what>" and ends the process with exit code 1.
[[noreturn]] void DisplayLost(const char* what);

}  // namespace ostrevin::win32
