// CGameApplication: the abstract application that the shell drives.
#pragma once

#include <windows.h>

class CGameApplication {
 public:
  CGameApplication();

  virtual bool Create() = 0;
  virtual void Destroy() = 0;
  virtual void Render() = 0;
  virtual void Update(float seconds) = 0;
  virtual ~CGameApplication();

  WORD m_smallIconId;
  WORD m_iconId;
  HWND m_hWnd;
  HINSTANCE m_hInstance;
};

// The program's one application object, myApp: defined beside it, so that
// the shell drives it through this class alone.
CGameApplication& TheApplication();
