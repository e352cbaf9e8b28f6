#include "DeviceState.h"

#include <cstring>

#include "Buffer.h"
#include "Shader.h"
#include "StateTable.h"
#include "Texture.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

Resource* AsResource(VertexDeclaration* object) { return object; }
Resource* AsResource(VertexBuffer* object) { return object; }
Resource* AsResource(IndexBuffer* object) { return object; }
Resource* AsResource(VertexShader* object) { return object; }
Resource* AsResource(PixelShader* object) { return object; }
Resource* AsResource(IDirect3DBaseTexture9* object) { return dynamic_cast<Resource*>(object); }

const GlBuffer& GlOf(const VertexBuffer& buffer) { return buffer.Gl(); }
const GlBuffer& GlOf(const IndexBuffer& buffer) { return buffer.Gl(); }
const GlTexture* GlOf(IDirect3DBaseTexture9* texture) {
  return texture != nullptr ? &static_cast<Texture*>(texture)->Gl() : nullptr;  // SetTexture takes Textures only
}
const std::vector<D3DVERTEXELEMENT9>& ElementsOf(const VertexDeclaration& decl) { return decl.Elements(); }
const std::vector<VertexStreamReach>& ReachesOf(const VertexDeclaration& decl) { return decl.Reaches(); }
const std::array<uint16_t, MAXD3DDECLUSAGE + 1>& ColourInputsOf(const VertexDeclaration& decl) {
  return decl.ColourInputs();
}
const GlslShader& GlslOf(const VertexShader& shader) { return shader.Glsl(); }
const GlslShader& GlslOf(const PixelShader& shader) { return shader.Glsl(); }

DeviceState::DeviceState() {
  std::memset(renderStates, 0, sizeof(renderStates));
  std::memset(samplerStates, 0, sizeof(samplerStates));
  std::memset(&viewport, 0, sizeof(viewport));
  std::memset(&scissorRect, 0, sizeof(scissorRect));
  std::memset(vsConstants, 0, sizeof(vsConstants));
  std::memset(psConstants, 0, sizeof(psConstants));
  std::memset(vsInts, 0, sizeof(vsInts));
  std::memset(psInts, 0, sizeof(psInts));
  std::memset(vsBools, 0, sizeof(vsBools));
  std::memset(psBools, 0, sizeof(psBools));
}

void DeviceState::SetDefaults(bool autoDepthStencil, UINT width, UINT height) {
  for (UINT s = 0; s < kRenderStates; ++s) renderStates[s] = DefaultRenderState(s, autoDepthStencil);

  for (UINT i = 0; i < kSamplers; ++i)
    for (UINT t = 0; t < kSamplerStates; ++t) samplerStates[i][t] = DefaultSamplerState(t);

  viewport = {0, 0, width, height, 0.0f, 1.0f};
  ++viewportVersion;
  scissorRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};

  std::memset(vsConstants, 0, sizeof(vsConstants));
  std::memset(psConstants, 0, sizeof(psConstants));
  std::memset(vsInts, 0, sizeof(vsInts));
  std::memset(psInts, 0, sizeof(psInts));
  std::memset(vsBools, 0, sizeof(vsBools));
  std::memset(psBools, 0, sizeof(psBools));
  ++vsVersion;
  ++psVersion;
  ReleaseBindings();
}

void DeviceState::ReleaseBindings() {
  decl = nullptr;
  for (Stream& stream : streams) {
    stream.buffer = nullptr;
    stream.offset = stream.stride = 0;
  }
  indices = nullptr;
  vs = nullptr;
  ps = nullptr;
  for (Binding<IDirect3DBaseTexture9>& texture : textures) texture = nullptr;
}

bool IsRenderState(UINT s) { return FindRenderState(s) != nullptr; }

DWORD DefaultRenderState(UINT s, bool autoDepthStencil) {
  const RenderStateInfo* info = FindRenderState(s);
  if (info == nullptr) return 0;
  if (info->state == D3DRS_ZENABLE && !autoDepthStencil) return D3DZB_FALSE;
  return info->defaultValue;
}

bool IsSamplerState(UINT type) { return FindSamplerState(type) != nullptr; }

DWORD DefaultSamplerState(UINT type) {
  const SamplerStateInfo* info = FindSamplerState(type);
  return info != nullptr ? info->defaultValue : 0;
}

}  // namespace ostrevin::d3d9
