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
  // A failed call leaves *ppDevice as it was, as Direct3D 9 does.
  if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
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
  D3DPRESENT_PARAMETERS chosen = *pParams;
  const HRESULT checked = Device::ChoosePresentParameters(window, &chosen);
  if (FAILED(checked)) return checked;

  Device* device = new Device(this, window, sdlWindow);
  HRESULT hr = device->Initialise(chosen);
  if (FAILED(hr)) {
    device->Release();
    return hr;
  }
  *pParams = chosen;
  *ppDevice = device;
  return D3D_OK;
}

}  // namespace ostrevin::d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
  // The SDK's headers pass 31 or 32, with the top bit set in debug builds.
  const UINT version = SDKVersion & ~0x80000000u;
  if (version != 31 && version != 32) return nullptr;
  ostrevin::ReportLiveObjectsAtExit();
  return new ostrevin::d3d9::Direct3D9();
}
