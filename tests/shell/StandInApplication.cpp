#include "StandInApplication.h"

CStandInApplication myApp;

CGameApplication& TheApplication() { return myApp; }

bool CStandInApplication::Create() {
  log += 'C';
  return !failCreate;
}

void CStandInApplication::Destroy() { log += 'D'; }

void CStandInApplication::Update(float seconds) {
  log += 'U';
  lastStep = seconds;
  if (GetWindowLongPtrW(m_hWnd, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(this)) userDataSetDuringUpdate = false;
}

void CStandInApplication::Render() {
  log += 'R';
  ++renders;
  if (renders == 1) {
    for (int i = 0; i < strayMessagesOnRender; ++i) PostMessageW(m_hWnd, WM_USER + i, 0, 0);
  }
  if (closeAfterRenders != 0 && renders == closeAfterRenders) PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}
