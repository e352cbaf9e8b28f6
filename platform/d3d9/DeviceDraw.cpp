// The device's scenes and draws: arguments checked against the
// recorded state, then the work handed to the GL side.
#include <cstdint>

#include "Buffer.h"
#include "Device.h"
#include "Shader.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

namespace {
// The vertices (or indices) `primitives` primitives of `type` take; false
// for an unknown primitive type.
bool PrimitiveVertices(D3DPRIMITIVETYPE type, UINT primitives, UINT* vertices) {
  switch (type) {
    case D3DPT_POINTLIST: *vertices = primitives; return true;
    case D3DPT_LINELIST: *vertices = primitives * 2; return true;
    case D3DPT_LINESTRIP: *vertices = primitives + 1; return true;
    case D3DPT_TRIANGLELIST: *vertices = primitives * 3; return true;
    case D3DPT_TRIANGLESTRIP: case D3DPT_TRIANGLEFAN: *vertices = primitives + 2; return true;
    default: return false;
  }
}

// Whether the vertices first .. first + count - 1 lie inside every stream the
// declaration reads (a stride-0 stream needs its one element); GL reads
// beyond a buffer's end are undefined.
bool StreamsHold(const DeviceState& state, int64_t first, uint64_t count) {
  if (first < 0) return false;
  for (const VertexDeclaration::StreamReach& r : state.decl->Reaches()) {
    const DeviceState::Stream& s = state.streams[r.stream];
    if (s.buffer == nullptr) continue;  // refused when drawn
    const uint64_t last = s.stride == 0 ? 0 : static_cast<uint64_t>(first) + count - 1;
    if (s.offset + last * s.stride + r.bytes > s.buffer->Size()) return false;
  }
  return true;
}

// Whether every sampler the current shaders read takes a 2-D texture: the
// device has no volume or cube textures, and a draw that reads one is
// refused rather than drawn with the wrong lookup.
bool ReadsPlanarSamplersOnly(const DeviceState& state) {
  for (const ShaderStageObject* shader : {static_cast<const ShaderStageObject*>(state.vs.get()),
                                          static_cast<const ShaderStageObject*>(state.ps.get())}) {
    if (shader == nullptr) continue;
    for (const GlslSampler& s : shader->Glsl().samplers) {
      if (!s.planar) return false;
    }
  }
  return true;
}
}  // namespace

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

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                     UINT numVertices, UINT startIndex, UINT primCount) {
  UINT indices;
  if (!PrimitiveVertices(type, primCount, &indices)) return D3DERR_INVALIDCALL;
  if (m_state.decl == nullptr || m_state.indices == nullptr) return D3DERR_INVALIDCALL;
  if (!ReadsPlanarSamplersOnly(m_state)) return D3DERR_INVALIDCALL;
  if (primCount == 0 || m_lost || !m_gl.Alive()) return D3D_OK;
  const UINT indexBytes = m_state.indices->Format() == D3DFMT_INDEX32 ? 4 : 2;
  if (static_cast<uint64_t>(startIndex) + indices > m_state.indices->Size() / indexBytes) return D3DERR_INVALIDCALL;
  // The indices promise to stay within minVertexIndex .. + numVertices.
  if (numVertices == 0 ||
      !StreamsHold(m_state, static_cast<int64_t>(baseVertexIndex) + minVertexIndex, numVertices))
    return D3DERR_INVALIDCALL;
  return m_gl.DrawIndexed(m_state, type, indices, indexBytes, startIndex, baseVertexIndex);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  UINT vertices;
  if (!PrimitiveVertices(type, primitiveCount, &vertices)) return D3DERR_INVALIDCALL;
  if (m_state.decl == nullptr) return D3DERR_INVALIDCALL;
  if (!ReadsPlanarSamplersOnly(m_state)) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0 || m_lost || !m_gl.Alive()) return D3D_OK;
  if (static_cast<uint64_t>(startVertex) + vertices > 0x7FFFFFFFu || !StreamsHold(m_state, startVertex, vertices))
    return D3DERR_INVALIDCALL;
  return m_gl.Draw(m_state, type, startVertex, vertices);
}

}  // namespace ostrevin::d3d9
