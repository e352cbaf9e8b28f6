// A window and a device of the program's shape for the benchmarks: an
// 800x600 window and a 784x561 X8R8G8B8 back buffer with D24S8 depth, no
// vertical sync.
#pragma once

#include <d3d9.h>

#include <cstring>

// Null (with *d3d and *window as far as they were made) when no window or
// device can be had, e.g. without a display.
inline IDirect3DDevice9* OpenBenchDevice(const wchar_t* className, IDirect3D9** d3d, HWND* window) {
  *d3d = nullptr;
  *window = NULL;
  WNDCLASSEXW wc;
  std::memset(&wc, 0, sizeof(wc));
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = className;
  if (RegisterClassExW(&wc) == 0) return nullptr;
  *window = CreateWindowExW(0, className, className, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                            NULL, NULL, NULL, NULL);
  if (*window == NULL) return nullptr;
  *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS params;
  std::memset(&params, 0, sizeof(params));
  params.BackBufferWidth = 784;
  params.BackBufferHeight = 561;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.BackBufferCount = 1;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.Windowed = TRUE;
  params.EnableAutoDepthStencil = TRUE;
  params.AutoDepthStencilFormat = D3DFMT_D24S8;
  params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  IDirect3DDevice9* dev = nullptr;
  if (*d3d == nullptr || FAILED((*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, *window,
                                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &dev)))
    return nullptr;
  return dev;
}
