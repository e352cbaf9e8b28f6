// The keyboard: SDL keys as virtual-key codes (the key table, KeyTable.h), GetAsyncKeyState (the real
// keyboard or the key script of the test switches), and TranslateMessage's
// characters.
#include "KeyTable.h"
#include "Switches.h"
#include "User32State.h"

namespace {

using namespace ostrevin::win32;

bool RealKeyDown(int vk) {
  if (State().video != Video::kReady) return false;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  auto down = [&](SDL_Scancode s) { return s > SDL_SCANCODE_UNKNOWN && s < count && state[s] != 0; };
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
    const SDL_Keycode sym = vk <= '9' ? SDLK_0 + (vk - '0') : SDLK_a + (vk - 'A');
    return down(SDL_GetScancodeFromKey(sym));
  }
  if (vk >= VK_F1 && vk < VK_F1 + kFunctionKeys) return down(static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (vk - VK_F1)));
  for (const KeyInfo& key : kKeys) {
    if (key.vk == vk && (down(key.scancodes[0]) || down(key.scancodes[1]))) return true;
  }
  return false;
}

}  // namespace

namespace ostrevin::win32 {

int VirtualKey(const SDL_Keysym& key) {
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + (key.sym - SDLK_a);
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return '0' + (key.sym - SDLK_0);
  if (key.scancode >= SDL_SCANCODE_F1 && key.scancode < SDL_SCANCODE_F1 + kFunctionKeys) {
    return VK_F1 + (key.scancode - SDL_SCANCODE_F1);
  }
  for (const KeyInfo& k : kKeys) {
    if (key.scancode != SDL_SCANCODE_UNKNOWN && (k.scancodes[0] == key.scancode || k.scancodes[1] == key.scancode))
      return k.vk;
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
