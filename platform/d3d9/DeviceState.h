// The Direct3D 9 state a device records: what Set* stored and Get* returns,
// the objects bound for drawing, and the version counters that tell the GL
// side which constants changed.
#pragma once

#include <d3d9.h>

#include <array>
#include <cstdint>
#include <vector>

#include "Resource.h"

namespace ostrevin {
struct GlslShader;
}

namespace ostrevin::d3d9 {

class VertexDeclaration;
class VertexBuffer;
class IndexBuffer;
class VertexShader;
class PixelShader;

Resource* AsResource(VertexDeclaration* object);
Resource* AsResource(VertexBuffer* object);
Resource* AsResource(IndexBuffer* object);
Resource* AsResource(VertexShader* object);
Resource* AsResource(PixelShader* object);
Resource* AsResource(IDirect3DBaseTexture9* object);

// What the GL side reads of the objects bound: their back-end objects, a
// declaration's elements, a shader's GLSL translation.
class GlBuffer;
class GlTexture;
const GlBuffer& GlOf(const VertexBuffer& buffer);
const GlBuffer& GlOf(const IndexBuffer& buffer);
const GlTexture* GlOf(IDirect3DBaseTexture9* texture);  // null for none
const std::vector<D3DVERTEXELEMENT9>& ElementsOf(const VertexDeclaration& decl);
// A stream a declaration reads, and the bytes of a vertex its elements reach
// in it (the largest element offset plus size).
struct VertexStreamReach {
  UINT stream, bytes;
};
const std::vector<VertexStreamReach>& ReachesOf(const VertexDeclaration& decl);  // each stream once
const std::array<uint16_t, MAXD3DDECLUSAGE + 1>& ColourInputsOf(const VertexDeclaration& decl);
const GlslShader& GlslOf(const VertexShader& shader);
const GlslShader& GlslOf(const PixelShader& shader);

// An object bound to the device, read as a plain pointer. The device holds
// it (Resource::AddBinding) from binding to unbinding, so that the
// application's last Release does not destroy it while bound.
template <typename T>
class Binding {
 public:
  Binding() = default;
  ~Binding() { *this = nullptr; }
  Binding(const Binding&) = delete;
  Binding& operator=(const Binding&) = delete;
  Binding& operator=(T* object) {
    if (object == m_object) return *this;
    if (object != nullptr) AsResource(object)->AddBinding();
    T* previous = m_object;
    m_object = object;
    if (previous != nullptr) AsResource(previous)->RemoveBinding();  // may destroy it
    return *this;
  }
  operator T*() const { return m_object; }
  T* operator->() const { return m_object; }
  T* get() const { return m_object; }

 private:
  T* m_object = nullptr;
};

struct DeviceState {
  static constexpr UINT kRenderStates = 256;
  static constexpr UINT kSamplers = 16;
  static constexpr UINT kSamplerStates = D3DSAMP_DMAPOFFSET + 1;  // D3DSAMP_ADDRESSU (1) .. D3DSAMP_DMAPOFFSET (13)
  static constexpr UINT kVertexRegisters = 256;
  static constexpr UINT kPixelRegisters = 224;
  static constexpr UINT kStreams = 16;
  static constexpr UINT kBoolRegisters = 16;  // b0..b15 of each stage
  static constexpr UINT kIntRegisters = 16;   // i0..i15 of each stage, four ints each

  DWORD renderStates[kRenderStates];
  DWORD samplerStates[kSamplers][kSamplerStates];
  D3DVIEWPORT9 viewport;
  uint64_t viewportVersion = 0;
  RECT scissorRect;

  float vsConstants[kVertexRegisters][4];
  float psConstants[kPixelRegisters][4];
  int vsInts[kIntRegisters][4];
  int psInts[kIntRegisters][4];
  BOOL vsBools[kBoolRegisters];
  BOOL psBools[kBoolRegisters];
  uint64_t vsVersion = 1, psVersion = 1;  // any of the stage's float, int or bool registers

  struct Stream {
    Binding<VertexBuffer> buffer;
    UINT offset = 0, stride = 0;
  };
  Binding<VertexDeclaration> decl;
  Stream streams[kStreams];
  Binding<IndexBuffer> indices;
  Binding<VertexShader> vs;
  Binding<PixelShader> ps;
  Binding<IDirect3DBaseTexture9> textures[kSamplers];

  DeviceState();
  // Direct3D 9's state after device creation or Reset, for a back buffer of
  // width x height; the constant versions move on so every program reloads.
  void SetDefaults(bool autoDepthStencil, UINT width, UINT height);
  // Unbinds every object (those the application released are destroyed).
  void ReleaseBindings();
};

// The device's questions to the state tables (StateTable.h).
// Whether Direct3D 9 defines render state `state` (anything else is refused).
bool IsRenderState(UINT state);
// Direct3D 9's value of render state `state` after creation or Reset.
DWORD DefaultRenderState(UINT state, bool autoDepthStencil);
bool IsSamplerState(UINT type);
DWORD DefaultSamplerState(UINT type);

}  // namespace ostrevin::d3d9
