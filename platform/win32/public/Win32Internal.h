// What the rest of the layer (the OpenGL Direct3D 9 device) needs from the
// USER32 implementation: the SDL window behind an HWND.
#pragma once

#include <windows.h>

struct SDL_Window;

namespace ostrevin::win32 {

// The SDL window of a live HWND; null for anything else.
SDL_Window* SdlWindow(HWND hWnd);

}  // namespace ostrevin::win32
