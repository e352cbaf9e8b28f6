// The state of the USER32 implementation, in one struct, and what its files
// ask of one another. Private to platform/win32.
//
// Everything lives in fixed tables: window classes, windows (whose HWNDs
// carry a generation, so a destroyed HWND never becomes valid again by
// accident) and a ring buffer of posted messages. PeekMessageW and
// GetAsyncKeyState run every frame and allocate nothing.
#pragma once

#include <SDL.h>
#include <windows.h>

#include "ProgramResources.h"

namespace ostrevin::win32 {

constexpr int kMaxClasses = 32;
constexpr int kMaxWindows = 64;
constexpr int kMaxIcons = 8;
// The system's icons, IDI_APPLICATION (32512) to IDI_SHIELD (32518).
constexpr int kFirstSystemIcon = 32512;
constexpr int kSystemIconCount = 7;
constexpr int kClassNameMax = 128;
constexpr int kTitleMax = 256;
constexpr int kQueueCapacity = 1024;

struct WindowClass {
  bool used;
  ATOM atom;
  UINT style;
  WNDPROC proc;
  HINSTANCE instance;
  HICON icon;
  HICON iconSmall;
  HCURSOR cursor;
  HBRUSH background;
  WCHAR name[kClassNameMax];
};

struct Window {
  uint16_t generation;
  bool live;
  bool destroying;
  const WindowClass* cls;
  WNDPROC proc;
  LONG_PTR userData;
  LONG_PTR id;
  HINSTANCE instance;
  DWORD style;
  DWORD exStyle;
  int x, y;  // outer position
  int clientWidth, clientHeight;
  bool visible;
  bool minimized;
  bool needSize;  // overlapped: WM_SIZE and WM_MOVE wait for the first ShowWindow
  bool needsPaint;
  bool needsErase;
  SDL_Window* sdl;
  Uint32 sdlId;
  unsigned long native;  // the X window, 0 under other window systems
  WCHAR title[kTitleMax];
};

// The thread's posted messages, oldest first, and the pending WM_QUIT.
struct MessageQueue {
  MSG items[kQueueCapacity];
  int head;
  int count;
  bool quitPosted;
  int quitCode;
  MSG& At(int i) { return items[(head + i) % kQueueCapacity]; }
};

enum class Video { kUntried, kReady, kFailed, kShutDown };

// An icon handle: the program's icon resource it was loaded from.
struct LoadedIcon {
  struct HICON__ handle;
  const IconResource* resource;
};

struct User32State {
  WindowClass classes[kMaxClasses];
  Window windows[kMaxWindows];
  struct HDC__ dcs[kMaxWindows];
  MessageQueue queue;
  Video video;
  LoadedIcon icons[kMaxIcons];
  struct HICON__ arrowCursor;
  struct HICON__ systemIcons[kSystemIconCount];
};

User32State& State();

// Window classes (WindowClasses.cpp).
WindowClass* FindClass(LPCWSTR name);

// Icons (Resources.cpp): gives the SDL window the image of an icon handle.
void SetWindowIcon(SDL_Window* window, HICON icon);

// The window table (Windows.cpp).
HWND MakeHwnd(int slot);
Window* Lookup(HWND hWnd);
Window* LookupSdl(Uint32 sdlId);
int SlotOf(const Window* w);
LRESULT Send(Window* w, UINT msg, WPARAM wParam, LPARAM lParam);
LPARAM SizeParam(const Window* w);
LPARAM MoveParam(const Window* w);

// Painting (Painting.cpp).
void Invalidate(Window* w, bool erase);

// The message queue (MessageQueue.cpp).
bool Enqueue(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
void EnqueueFront(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
void PurgeWindow(HWND hWnd);

// SDL events become messages (SdlEvents.cpp).
void PollSdl();

// The keyboard (Keyboard.cpp): the virtual-key code of an SDL key, 0 for keys not reported.
int VirtualKey(const SDL_Keysym& key);

// The video subsystem (Video.cpp): started on first use; false without a display.
bool InitVideo();

}  // namespace ostrevin::win32
