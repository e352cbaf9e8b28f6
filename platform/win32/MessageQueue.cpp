// The thread's message queue: posting, WM_QUIT, PeekMessageW (which polls
// SDL first and makes WM_PAINT when nothing else is waiting) and
// DispatchMessageW. GetTickCount stamps the messages.
#include <string.h>
#include <time.h>

#include "User32State.h"

namespace {

using namespace ostrevin::win32;

MessageQueue& Queue() { return State().queue; }

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

bool IsDroppable(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP ||
         message == WM_CHAR || message == WM_SIZE || message == WM_MOVE || message == WM_MOUSEMOVE;
}

void RemoveAt(int index) {
  // Close the gap by moving the later messages one place toward the head.
  MessageQueue& q = Queue();
  for (int i = index; i + 1 < q.count; ++i) q.At(i) = q.At(i + 1);
  --q.count;
}

bool Matches(const MSG& m, HWND hWnd, UINT first, UINT last) {
  if (hWnd == kThreadMessagesOnly) {
    if (m.hwnd != nullptr) return false;
  } else if (hWnd != nullptr && m.hwnd != hWnd) {
    return false;
  }
  return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

}  // namespace

namespace ostrevin::win32 {

bool Enqueue(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MessageQueue& q = Queue();
  if (q.count == kQueueCapacity) {
    // Full: make room by dropping the oldest input or size message.
    int victim = -1;
    for (int i = 0; i < q.count && victim < 0; ++i) {
      if (IsDroppable(q.At(i).message)) victim = i;
    }
    if (victim < 0) return false;
    RemoveAt(victim);
  }
  MSG& m = q.At(q.count++);
  m.hwnd = hWnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  m.pt.x = 0;
  m.pt.y = 0;
  return true;
}

void EnqueueFront(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Enqueue(hWnd, message, wParam, lParam)) return;
  MessageQueue& q = Queue();
  const MSG m = q.At(q.count - 1);
  for (int i = q.count - 1; i > 0; --i) q.At(i) = q.At(i - 1);
  q.At(0) = m;
}

void PurgeWindow(HWND hWnd) {
  MessageQueue& q = Queue();
  int kept = 0;
  for (int i = 0; i < q.count; ++i) {
    if (q.At(i).hwnd != hWnd) q.At(kept++) = q.At(i);
  }
  q.count = kept;
}

}  // namespace ostrevin::win32

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd != nullptr && Lookup(hWnd) == nullptr) return FALSE;
  return Enqueue(hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  Queue().quitPosted = true;
  Queue().quitCode = nExitCode;
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) return FALSE;
  PollSdl();
  MessageQueue& q = Queue();
  for (int i = 0; i < q.count; ++i) {
    if (Matches(q.At(i), hWnd, wMsgFilterMin, wMsgFilterMax)) {
      *lpMsg = q.At(i);
      if (wRemoveMsg & PM_REMOVE) RemoveAt(i);
      return TRUE;
    }
  }
  // WM_QUIT belongs to no window: a filter on one window never sees it.
  const bool anyWindow = hWnd == nullptr || hWnd == kThreadMessagesOnly;
  if (q.quitPosted && anyWindow) {
    memset(lpMsg, 0, sizeof(*lpMsg));
    lpMsg->message = WM_QUIT;
    lpMsg->wParam = static_cast<WPARAM>(static_cast<intptr_t>(q.quitCode));
    lpMsg->time = GetTickCount();
    if (wRemoveMsg & PM_REMOVE) q.quitPosted = false;
    return TRUE;
  }
  const bool wantPaint = (wMsgFilterMin == 0 && wMsgFilterMax == 0) ||
                         (WM_PAINT >= wMsgFilterMin && WM_PAINT <= wMsgFilterMax);
  if (wantPaint && hWnd != kThreadMessagesOnly) {
    for (int i = 0; i < kMaxWindows; ++i) {
      const Window& w = State().windows[i];
      if (!w.live || w.destroying || !w.needsPaint) continue;
      const HWND candidate = MakeHwnd(i);
      if (hWnd != nullptr && hWnd != candidate) continue;
      memset(lpMsg, 0, sizeof(*lpMsg));
      lpMsg->hwnd = candidate;
      lpMsg->message = WM_PAINT;
      lpMsg->time = GetTickCount();
      return TRUE;
    }
  }
  return FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == nullptr || lpMsg->message == WM_QUIT) return 0;
  Window* w = Lookup(lpMsg->hwnd);
  return w != nullptr ? Send(w, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0;
}

DWORD WINAPI GetTickCount(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}
