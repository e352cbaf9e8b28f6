#include "Direct3D9.h"

#include <SDL.h>

#include "Device.h"
#include "LiveObjects.h"
#include "Win32Internal.h"

namespace ostrevin::d3d9 {

HRESULT Direct3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* pMode) {
  if (adapter != D3DADAPTER_DEFAULT || pMode == nullptr) return D3DERR_INVALIDCALL;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return D3DERR_NOTAVAILABLE;
  pMode->Width = static_cast<UINT>(mode.w);
  pMode->Height = static_cast<UINT>(mode.h);
  pMode->RefreshRate = static_cast<UINT>(mode.refresh_rate);
  pMode->Format = D3DFMT_X8R8G8B8;
  return D3D_OK;
}

HRESULT Direct3D9::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                                D3DPRESENT_PARAMETERS* pParams, IDirect3DDevice9** ppDevice) {
  if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
  *ppDevice = nullptr;
  if (adapter != D3DADAPTER_DEFAULT || pParams == nullptr) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;  // no reference rasteriser here
  const DWORD vertexProcessing = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                          D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vertexProcessing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vertexProcessing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vertexProcessing != D3DCREATE_MIXED_VERTEXPROCESSING)
    return D3DERR_INVALIDCALL;
  HWND window = pParams->hDeviceWindow != NULL ? pParams->hDeviceWindow : focusWindow;
  SDL_Window* sdlWindow = win32::SdlWindow(window);
  if (sdlWindow == nullptr) return D3DERR_INVALIDCALL;
  if (pParams->BackBufferFormat != D3DFMT_X8R8G8B8 && pParams->BackBufferFormat != D3DFMT_A8R8G8B8 &&
      pParams->BackBufferFormat != D3DFMT_UNKNOWN)
    return D3DERR_NOTAVAILABLE;
  if (pParams->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;

  Device* device = new Device(this, window, sdlWindow);
  HRESULT hr = device->Initialise(*pParams);
  if (FAILED(hr)) {
    device->Release();
    return hr;
  }
  *ppDevice = device;
  return D3D_OK;
}

}  // namespace ostrevin::d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  ostrevin::ReportLiveObjectsAtExit();
  return new ostrevin::d3d9::Direct3D9();
}
