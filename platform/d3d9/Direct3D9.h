// IDirect3D9: the one adapter (the desktop's display) and device creation.
#pragma once

#include <d3d9.h>

#include "ComObject.h"

namespace ostrevin::d3d9 {

class Direct3D9 final : public ComObject<IDirect3D9> {
 public:
  UINT STDMETHODCALLTYPE GetAdapterCount() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                                         D3DPRESENT_PARAMETERS* pParams, IDirect3DDevice9** ppDevice) override;

 protected:
  bool Implements(REFIID riid) const override { return riid == IID_IDirect3D9; }
};

}  // namespace ostrevin::d3d9
