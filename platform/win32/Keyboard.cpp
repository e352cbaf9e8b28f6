// The keyboard: SDL keys as virtual-key codes, GetAsyncKeyState (the real
// keyboard or the key script of the test switches), and TranslateMessage's
// characters.
#include "Switches.h"
#include "User32State.h"

namespace {

using namespace ostrevin::win32;

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

bool RealKeyDown(int vk) {
  if (State().video != Video::kReady) return false;
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

}  // namespace

namespace ostrevin::win32 {

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

}  // namespace ostrevin::win32

SHORT WINAPI GetAsyncKeyState(int vKey) {
  const bool down = RealKeyDown(vKey) || ostrevin::switches::ScriptedKeyDown(vKey);
  return down ? static_cast<SHORT>(0x8000) : 0;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  if (lpMsg == nullptr) return FALSE;
  if (lpMsg->message == WM_KEYDOWN) {
    // WM_CHAR for the keys whose character does not depend on the layout
    // beyond the shift state; it is the next message retrieved.
    const WPARAM vk = lpMsg->wParam;
    const Uint16 mod = State().video == Video::kReady ? SDL_GetModState() : 0;
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
