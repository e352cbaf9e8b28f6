// The device's scenes, Clear and draws: arguments checked against the
// recorded state, then the work handed to the GL side.
#include <cstdint>

#include "Buffer.h"
#include "Device.h"
#include "GlEnums.h"

namespace ostrevin::d3d9 {

HRESULT Device::BeginScene() {
  if (m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* pRects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if ((count != 0 && pRects == nullptr) || (flags & ~7u) != 0) return D3DERR_INVALIDCALL;
  if (m_lost || !m_gl.Alive() || flags == 0) return D3D_OK;
  m_gl.Clear(m_state, count, pRects, flags, color, z, stencil);
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT, UINT, UINT startIndex,
                                     UINT primCount) {
  GLenum mode;
  UINT indices;
  if (!GlPrimitive(type, primCount, &mode, &indices)) return D3DERR_INVALIDCALL;
  if (m_state.decl == nullptr || m_state.indices == nullptr || m_state.stream == nullptr) return D3DERR_INVALIDCALL;
  if (primCount == 0 || m_lost || !m_gl.Alive()) return D3D_OK;
  const UINT indexBytes = m_state.indices->Format() == D3DFMT_INDEX32 ? 4 : 2;
  if (static_cast<uint64_t>(startIndex) + indices > m_state.indices->Size() / indexBytes) return D3DERR_INVALIDCALL;
  return m_gl.DrawIndexed(m_state, mode, indices, indexBytes, startIndex, baseVertexIndex);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) {
  // Not used by the program; non-indexed drawing is not offered.
  return D3DERR_INVALIDCALL;
}

}  // namespace ostrevin::d3d9
