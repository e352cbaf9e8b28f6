#include "app/Shell.h"

#include <fstream>

#include "app/GameApplication.h"
#include "app/resource.h"

namespace {

CGameApplication& App() { return TheApplication(); }

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
  std::ofstream output("a.out");
  output.close();

  App().m_hInstance = hInstance;
  App().m_iconId = IDI_OSTREVIN;
  App().m_smallIconId = IDI_SMALL;

  if (RegisterWindowClass() == 0 || !CreateAppWindow() || !App().Create()) {
    MessageBoxW(NULL, L"myApp.Create failed!", L"Error", MB_ICONERROR);
    return 1;
  }
  return MessageLoop();
}

ATOM RegisterWindowClass() {
  WNDCLASSEXW wcex;
  wcex.cbSize = sizeof(WNDCLASSEXW);
  wcex.style = CS_HREDRAW | CS_VREDRAW;
  wcex.lpfnWndProc = WndProc;
  wcex.cbClsExtra = 0;
  wcex.cbWndExtra = 0;
  wcex.hInstance = App().m_hInstance;
  wcex.hIcon = LoadIconW(App().m_hInstance, MAKEINTRESOURCEW(App().m_iconId));
  wcex.hCursor = LoadCursorW(NULL, IDC_ARROW);
  wcex.hbrBackground = NULL;
  wcex.lpszMenuName = NULL;
  wcex.lpszClassName = L"GameWnd";
  wcex.hIconSm = LoadIconW(App().m_hInstance, MAKEINTRESOURCEW(App().m_smallIconId));
  return RegisterClassExW(&wcex);
}

bool CreateAppWindow() {
  HWND hWnd = CreateWindowExW(0, L"GameWnd", L"Ostrevin", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              800, 600, NULL, NULL, App().m_hInstance, NULL);
  App().m_hWnd = hWnd;
  if (hWnd == NULL) {
    return false;
  }
  // The pointer-sized form: SetWindowLongW in a 32-bit build, no truncation in a 64-bit one.
  SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&App()));
  ShowWindow(hWnd, SW_SHOW);
  UpdateWindow(hWnd);
  return true;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CGameApplication* pApp = reinterpret_cast<CGameApplication*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (pApp == NULL) {
    return DefWindowProcW(hWnd, message, wParam, lParam);
  }
  switch (message) {
    case WM_DESTROY:
      pApp->Destroy();
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hWnd, &ps);
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcW(hWnd, message, wParam, lParam);
  }
}

int MessageLoop() {
  MSG msg;
  ZeroMemory(&msg, sizeof(msg));
  while (msg.message != WM_QUIT) {
    if (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      App().Update(0.02f);
      App().Render();
    }
  }
  return static_cast<int>(msg.wParam);
}
