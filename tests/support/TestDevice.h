// A window and a device of the layer for the OpenGL device tests and the
// benchmarks: one place for the window and the present parameters they
// create with.
#pragma once

#include <d3d9.h>

#include "support/ProgramWindow.h"

struct TestDevice {
  HWND window = NULL;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  // What the device was created with; Reset may take them again.
  D3DPRESENT_PARAMETERS params = {};

  // Registers className and makes a windowWidth x windowHeight overlapped
  // window of it. Null, or what failed.
  const char* OpenWindow(const wchar_t* className, int windowWidth, int windowHeight);
  // OpenWindow and Direct3D, for tests that make their devices themselves.
  const char* OpenDirect3D(const wchar_t* className, int windowWidth, int windowHeight);
  // A device on the window; CreateDevice writes back into *p and device.
  HRESULT CreateDevice(D3DPRESENT_PARAMETERS* p);
  // A windowed width x height X8R8G8B8 back buffer, D24S8 depth and no
  // vertical sync: what Open creates with, for tests to vary.
  static D3DPRESENT_PARAMETERS Params(UINT width, UINT height);
  // OpenDirect3D, then a device with Params(width, height). Null, or what
  // failed, e.g. without a display; whatever was made is kept for Close.
  const char* Open(const wchar_t* className, int windowWidth, int windowHeight, UINT width, UINT height);
  // The window and device of the program's shape: the program's window, and
  // a back buffer of its client area.
  const char* OpenProgramShape(const wchar_t* className) {
    return Open(className, kProgramWindowWidth, kProgramWindowHeight, kProgramClientWidth, kProgramClientHeight);
  }
  // Releases the device and Direct3D and destroys the window, as far as they are there.
  void Close();
};
