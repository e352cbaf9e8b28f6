// Resources: LoadIconW finds the program's icons in the table its build
// links in (ProgramResources.h) and has the system's, LoadCursorW has the
// arrow, and a window whose class has an icon shows that image.
#include "User32State.h"

// A weak reference: in an executable without resources of its own (a test,
// a benchmark) the table's address is null.
extern const ostrevin::win32::IconResource ostrevin::win32::kProgramIcons[] __attribute__((weak));

namespace ostrevin::win32 {

void SetWindowIcon(SDL_Window* window, HICON icon) {
  const IconResource* resource = nullptr;
  for (const LoadedIcon& loaded : State().icons) {
    if (icon != nullptr && icon == &loaded.handle) resource = loaded.resource;
  }
  if (resource == nullptr) return;
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
  const Uint32 r = 0xFF000000, g = 0x00FF0000, b = 0x0000FF00, a = 0x000000FF;
#else
  const Uint32 r = 0x000000FF, g = 0x0000FF00, b = 0x00FF0000, a = 0xFF000000;
#endif
  SDL_Surface* surface = SDL_CreateRGBSurfaceFrom(const_cast<uint8_t*>(resource->rgba), resource->size,
                                                  resource->size, 32, resource->size * 4, r, g, b, a);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}

}  // namespace ostrevin::win32

using namespace ostrevin::win32;

// One handle per icon resource, the same on every call, as for a shared
// icon. A module's icons need its instance; without one, only the system's
// icons (IDI_APPLICATION and its neighbours) are found. Those carry no image
// here, so a window class using one shows the window manager's default.
HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  if (!IS_INTRESOURCE(lpIconName)) return nullptr;
  const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(lpIconName));
  if (hInstance == nullptr) {
    const bool system = id >= kFirstSystemIcon && id < kFirstSystemIcon + kSystemIconCount;
    return system ? &State().systemIcons[id - kFirstSystemIcon] : nullptr;
  }
  if (kProgramIcons == nullptr) return nullptr;
  for (int i = 0; i < kMaxIcons && kProgramIcons[i].id != 0; ++i) {
    if (kProgramIcons[i].id != id) continue;
    LoadedIcon& loaded = State().icons[i];
    loaded.resource = &kProgramIcons[i];
    return &loaded.handle;
  }
  return nullptr;
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  return hInstance == nullptr && lpCursorName == IDC_ARROW ? &State().arrowCursor : nullptr;
}
