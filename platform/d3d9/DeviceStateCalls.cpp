// The device's Set* and Get* calls: each checks its arguments, records the
// value in the DeviceState and, when it changed, has the GL side apply it
// (render, sampler and viewport state at once; bindings at the next draw).
#include <cstring>
#include <typeinfo>

#include "Buffer.h"
#include "Device.h"
#include "Shader.h"
#include "StateTable.h"
#include "Texture.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  const UINT s = static_cast<UINT>(state);
  const RenderStateInfo* info = FindRenderState(s);
  if (info == nullptr || !Takes(info->values, value) || !m_gl.TakesRenderState(m_state, state, value))
    return D3DERR_INVALIDCALL;
  if (m_state.renderStates[s] == value) return D3D_OK;
  m_state.renderStates[s] = value;
  if (m_gl.Alive()) m_gl.ApplyRenderState(m_state, state);
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) {
  const UINT s = static_cast<UINT>(state);
  if (pValue == nullptr || !IsRenderState(s)) return D3DERR_INVALIDCALL;
  *pValue = m_state.renderStates[s];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  const UINT t = static_cast<UINT>(type);
  const SamplerStateInfo* info = FindSamplerState(t);
  if (sampler >= DeviceState::kSamplers || info == nullptr || !Takes(info->values, value) ||
      !m_gl.TakesSamplerState(type, value))
    return D3DERR_INVALIDCALL;
  if (m_state.samplerStates[sampler][t] == value) return D3D_OK;
  m_state.samplerStates[sampler][t] = value;
  if (m_gl.Alive()) m_gl.ApplySamplerState(m_state, sampler, type);
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* pValue) {
  const UINT t = static_cast<UINT>(type);
  if (pValue == nullptr || sampler >= DeviceState::kSamplers || !IsSamplerState(t)) return D3DERR_INVALIDCALL;
  *pValue = m_state.samplerStates[sampler][t];
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* pViewport) {
  const GlBackBuffer& bb = m_gl.BackBuffer();
  if (pViewport == nullptr || pViewport->Width == 0 || pViewport->Height == 0 ||
      pViewport->X + pViewport->Width > bb.width || pViewport->Y + pViewport->Height > bb.height)
    return D3DERR_INVALIDCALL;
  if (std::memcmp(&m_state.viewport, pViewport, sizeof(m_state.viewport)) == 0) return D3D_OK;
  m_state.viewport = *pViewport;
  ++m_state.viewportVersion;
  if (m_gl.Alive()) m_gl.ApplyViewport(m_state);
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* pViewport) {
  if (pViewport == nullptr) return D3DERR_INVALIDCALL;
  *pViewport = m_state.viewport;
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* pTexture) {
  if (stage >= DeviceState::kSamplers) return D3DERR_INVALIDCALL;
  if (pTexture == m_state.textures[stage]) return D3D_OK;  // checked when it was bound
  Texture* texture = pTexture != nullptr ? dynamic_cast<Texture*>(pTexture) : nullptr;
  if (pTexture != nullptr && texture == nullptr) return D3DERR_INVALIDCALL;
  // The device samples no scratch memory, and no system memory either:
  // it has no D3DDEVCAPS_TEXTURESYSTEMMEMORY.
  if (texture != nullptr && (texture->Pool() == D3DPOOL_SCRATCH || texture->Pool() == D3DPOOL_SYSTEMMEM)) {
    return D3DERR_INVALIDCALL;
  }
  if (texture != nullptr) texture->MakeGl();
  m_state.textures[stage] = pTexture;  // bound at the next draw
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** ppTexture) {
  if (ppTexture == nullptr || stage >= DeviceState::kSamplers) return D3DERR_INVALIDCALL;
  *ppTexture = m_state.textures[stage];
  if (*ppTexture != nullptr) (*ppTexture)->AddRef();
  return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
  VertexDeclaration* decl = static_cast<VertexDeclaration*>(pDecl);
  if (decl != m_state.decl) {
    m_state.decl = decl;
    m_gl.DeclarationChanged();
  }
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* pBuffer, UINT offset, UINT stride) {
  if (stream >= DeviceState::kStreams) return D3DERR_INVALIDCALL;
  DeviceState::Stream& s = m_state.streams[stream];
  // Only the device's own vertex buffers (the class is final: its exact type).
  if (pBuffer != nullptr && pBuffer != s.buffer && typeid(*pBuffer) != typeid(VertexBuffer)) return D3DERR_INVALIDCALL;
  VertexBuffer* vb = static_cast<VertexBuffer*>(pBuffer);
  if (vb != s.buffer || offset != s.offset || stride != s.stride) {
    s.buffer = vb;
    s.offset = offset;
    s.stride = stride;
    m_gl.VertexInputChanged();
  }
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  IndexBuffer* ib = static_cast<IndexBuffer*>(pIndexData);
  if (ib != m_state.indices) {
    m_state.indices = ib;
    m_gl.VertexInputChanged();
  }
  return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* pShader) {
  VertexShader* vs = static_cast<VertexShader*>(pShader);
  if (vs != m_state.vs) {
    m_state.vs = vs;
    m_gl.ShadersChanged();
    m_gl.VertexInputChanged();  // the shader's inputs choose the attribute locations
  }
  return D3D_OK;
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* pShader) {
  PixelShader* ps = static_cast<PixelShader*>(pShader);
  if (ps != m_state.ps) {
    m_state.ps = ps;
    m_gl.ShadersChanged();
  }
  return D3D_OK;
}

namespace {
// Shared by both stages and the three register kinds: registers
// start .. start + count - 1 of `width` values each, in a file of `size`.
template <typename T>
HRESULT SetRegisters(T* file, UINT size, UINT width, uint64_t* version, UINT start, const T* pData, UINT count) {
  if (pData == nullptr || start > size || count > size - start) return D3DERR_INVALIDCALL;
  const size_t bytes = sizeof(T) * width * count;
  if (std::memcmp(file + start * width, pData, bytes) != 0) {
    std::memcpy(file + start * width, pData, bytes);
    ++*version;
  }
  return D3D_OK;
}

template <typename T>
HRESULT GetRegisters(const T* file, UINT size, UINT width, UINT start, T* pData, UINT count) {
  if (pData == nullptr || start > size || count > size - start) return D3DERR_INVALIDCALL;
  std::memcpy(pData, file + start * width, sizeof(T) * width * count);
  return D3D_OK;
}

constexpr UINT kVs = DeviceState::kVertexRegisters, kPs = DeviceState::kPixelRegisters;
constexpr UINT kInts = DeviceState::kIntRegisters, kBools = DeviceState::kBoolRegisters;
}  // namespace

HRESULT Device::SetVertexShaderConstantF(UINT start, const float* pData, UINT count) {
  return SetRegisters(m_state.vsConstants[0], kVs, 4, &m_state.vsVersion, start, pData, count);
}

HRESULT Device::GetVertexShaderConstantF(UINT start, float* pData, UINT count) {
  return GetRegisters(m_state.vsConstants[0], kVs, 4, start, pData, count);
}

HRESULT Device::SetVertexShaderConstantI(UINT start, const int* pData, UINT count) {
  return SetRegisters(m_state.vsInts[0], kInts, 4, &m_state.vsVersion, start, pData, count);
}

HRESULT Device::GetVertexShaderConstantI(UINT start, int* pData, UINT count) {
  return GetRegisters(m_state.vsInts[0], kInts, 4, start, pData, count);
}

HRESULT Device::SetVertexShaderConstantB(UINT start, const BOOL* pData, UINT count) {
  return SetRegisters(m_state.vsBools, kBools, 1, &m_state.vsVersion, start, pData, count);
}

HRESULT Device::GetVertexShaderConstantB(UINT start, BOOL* pData, UINT count) {
  return GetRegisters(m_state.vsBools, kBools, 1, start, pData, count);
}

HRESULT Device::SetPixelShaderConstantF(UINT start, const float* pData, UINT count) {
  return SetRegisters(m_state.psConstants[0], kPs, 4, &m_state.psVersion, start, pData, count);
}

HRESULT Device::GetPixelShaderConstantF(UINT start, float* pData, UINT count) {
  return GetRegisters(m_state.psConstants[0], kPs, 4, start, pData, count);
}

HRESULT Device::SetPixelShaderConstantI(UINT start, const int* pData, UINT count) {
  return SetRegisters(m_state.psInts[0], kInts, 4, &m_state.psVersion, start, pData, count);
}

HRESULT Device::GetPixelShaderConstantI(UINT start, int* pData, UINT count) {
  return GetRegisters(m_state.psInts[0], kInts, 4, start, pData, count);
}

HRESULT Device::SetPixelShaderConstantB(UINT start, const BOOL* pData, UINT count) {
  return SetRegisters(m_state.psBools, kBools, 1, &m_state.psVersion, start, pData, count);
}

HRESULT Device::GetPixelShaderConstantB(UINT start, BOOL* pData, UINT count) {
  return GetRegisters(m_state.psBools, kBools, 1, start, pData, count);
}

}  // namespace ostrevin::d3d9
