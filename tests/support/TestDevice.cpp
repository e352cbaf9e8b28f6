#include "support/TestDevice.h"

const char* TestDevice::OpenWindow(const wchar_t* className, int windowWidth, int windowHeight) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = className;
  if (RegisterClassExW(&wc) == 0) return "RegisterClassExW failed";
  window = CreateWindowExW(0, className, className, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, windowWidth,
                           windowHeight, NULL, NULL, NULL, NULL);
  return window == NULL ? "CreateWindowExW failed" : nullptr;
}

const char* TestDevice::Open(const wchar_t* className, int windowWidth, int windowHeight, UINT width, UINT height) {
  if (const char* failed = OpenWindow(className, windowWidth, windowHeight)) return failed;
  d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (d3d == nullptr) return "Direct3DCreate9 failed";
  params = {};
  params.BackBufferWidth = width;
  params.BackBufferHeight = height;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.BackBufferCount = 1;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.Windowed = TRUE;
  params.EnableAutoDepthStencil = TRUE;
  params.AutoDepthStencilFormat = D3DFMT_D24S8;
  params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params,
                               &device))) {
    device = nullptr;
    return "CreateDevice failed";
  }
  return nullptr;
}

void TestDevice::Close() {
  if (device != nullptr) device->Release();
  device = nullptr;
  if (d3d != nullptr) d3d->Release();
  d3d = nullptr;
  if (window != NULL) DestroyWindow(window);
  window = NULL;
}
