// The keys USER32 knows besides letters, digits and F1-F12, in one table:
// the virtual key, its name in the key script of the test switches
// (OSTREVIN_KEYS: the VK_ name without its prefix) and the SDL scancodes
// that produce it. The keyboard (SDL key -> virtual key, GetAsyncKeyState)
// and the key script both read it.
#pragma once

#include <SDL_scancode.h>
#include <strings.h>
#include <windows.h>

#include <cstddef>
#include <cstring>

namespace ostrevin::win32 {

struct KeyInfo {
  int vk;
  const char* name;
  SDL_Scancode scancodes[2];  // the second SDL_SCANCODE_UNKNOWN when only one key gives it
};

inline constexpr KeyInfo kKeys[] = {
    {VK_BACK, "BACK", {SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_UNKNOWN}},
    {VK_TAB, "TAB", {SDL_SCANCODE_TAB, SDL_SCANCODE_UNKNOWN}},
    {VK_RETURN, "RETURN", {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER}},
    {VK_SHIFT, "SHIFT", {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT}},
    {VK_CONTROL, "CONTROL", {SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL}},
    {VK_MENU, "MENU", {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}},
    {VK_ESCAPE, "ESCAPE", {SDL_SCANCODE_ESCAPE, SDL_SCANCODE_UNKNOWN}},
    {VK_SPACE, "SPACE", {SDL_SCANCODE_SPACE, SDL_SCANCODE_UNKNOWN}},
    {VK_PRIOR, "PRIOR", {SDL_SCANCODE_PAGEUP, SDL_SCANCODE_UNKNOWN}},
    {VK_NEXT, "NEXT", {SDL_SCANCODE_PAGEDOWN, SDL_SCANCODE_UNKNOWN}},
    {VK_END, "END", {SDL_SCANCODE_END, SDL_SCANCODE_UNKNOWN}},
    {VK_HOME, "HOME", {SDL_SCANCODE_HOME, SDL_SCANCODE_UNKNOWN}},
    {VK_LEFT, "LEFT", {SDL_SCANCODE_LEFT, SDL_SCANCODE_UNKNOWN}},
    {VK_UP, "UP", {SDL_SCANCODE_UP, SDL_SCANCODE_UNKNOWN}},
    {VK_RIGHT, "RIGHT", {SDL_SCANCODE_RIGHT, SDL_SCANCODE_UNKNOWN}},
    {VK_DOWN, "DOWN", {SDL_SCANCODE_DOWN, SDL_SCANCODE_UNKNOWN}},
    {VK_INSERT, "INSERT", {SDL_SCANCODE_INSERT, SDL_SCANCODE_UNKNOWN}},
    {VK_DELETE, "DELETE", {SDL_SCANCODE_DELETE, SDL_SCANCODE_UNKNOWN}},
};

// F1..F12: VK_F1 + n, SDL_SCANCODE_F1 + n.
inline constexpr int kFunctionKeys = 12;

// The virtual key a key-script name means, in either case: a letter or a
// digit, F1..F12, or a name of the table; 0 for anything else.
inline int KeyFromName(const char* name, size_t length) {
  if (length == 1) {
    const char c = static_cast<char>(name[0] >= 'a' && name[0] <= 'z' ? name[0] - 'a' + 'A' : name[0]);
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : 0;
  }
  if ((name[0] == 'F' || name[0] == 'f') && length <= 3) {
    int n = 0;
    for (size_t i = 1; i < length; ++i) {
      if (name[i] < '0' || name[i] > '9') return 0;
      n = n * 10 + (name[i] - '0');
    }
    return n >= 1 && n <= kFunctionKeys && name[1] != '0' ? VK_F1 + n - 1 : 0;
  }
  for (const KeyInfo& key : kKeys) {
    if (std::strlen(key.name) == length && strncasecmp(key.name, name, length) == 0) return key.vk;
  }
  return 0;
}

}  // namespace ostrevin::win32
