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

const char* TestDevice::OpenDirect3D(const wchar_t* className, int windowWidth, int windowHeight) {
  if (const char* failed = OpenWindow(className, windowWidth, windowHeight)) return failed;
  d3d = Direct3DCreate9(D3D_SDK_VERSION);
  return d3d == nullptr ? "Direct3DCreate9 failed" : nullptr;
}

HRESULT TestDevice::CreateDevice(D3DPRESENT_PARAMETERS* p) {
  return d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, p, &device);
}

D3DPRESENT_PARAMETERS TestDevice::Params(UINT width, UINT height) {
  D3DPRESENT_PARAMETERS p = {};
  p.BackBufferWidth = width;
  p.BackBufferHeight = height;
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  p.BackBufferCount = 1;
  p.SwapEffect = D3DSWAPEFFECT_DISCARD;
  p.Windowed = TRUE;
  p.EnableAutoDepthStencil = TRUE;
  p.AutoDepthStencilFormat = D3DFMT_D24S8;
  p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return p;
}

const char* TestDevice::Open(const wchar_t* className, int windowWidth, int windowHeight, UINT width, UINT height) {
  if (const char* failed = OpenDirect3D(className, windowWidth, windowHeight)) return failed;
  params = Params(width, height);
  if (FAILED(CreateDevice(&params))) {
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
