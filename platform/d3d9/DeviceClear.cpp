// The device's Clear and scissor rectangle: arguments checked, the state
// recorded, the GL side called.
#include "Device.h"

namespace ostrevin::d3d9 {

HRESULT Device::Clear(DWORD count, const D3DRECT* pRects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  // Null rectangles clear the whole viewport whatever the count; a count of
  // 0 with rectangles clears nothing.
  if ((flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0) return D3DERR_INVALIDCALL;
  const GlBackBuffer& bb = m_gl.BackBuffer();
  if (((flags & D3DCLEAR_ZBUFFER) && !bb.depth) || ((flags & D3DCLEAR_STENCIL) && !bb.stencil))
    return D3DERR_INVALIDCALL;
  if (m_lost || !m_gl.Alive() || flags == 0 || (count == 0 && pRects != nullptr)) return D3D_OK;
  m_gl.Clear(m_state, count, pRects, flags, color, z, stencil);
  return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT* pRect) {
  if (pRect == nullptr) return D3DERR_INVALIDCALL;
  const RECT& r = m_state.scissorRect;
  if (r.left == pRect->left && r.top == pRect->top && r.right == pRect->right && r.bottom == pRect->bottom)
    return D3D_OK;
  m_state.scissorRect = *pRect;
  if (m_gl.Alive()) m_gl.ApplyScissorRect(m_state);
  return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* pRect) {
  if (pRect == nullptr) return D3DERR_INVALIDCALL;
  *pRect = m_state.scissorRect;
  return D3D_OK;
}

}  // namespace ostrevin::d3d9
