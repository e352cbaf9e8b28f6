// IDirect3DVertexDeclaration9: the elements as given, without the end marker,
// and the rule of which declarations the device can feed to shaders.
#pragma once

#include <d3d9.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ComObject.h"
#include "DeviceState.h"
#include "Resource.h"

namespace ostrevin::d3d9 {

class GlDevice;

class VertexDeclaration final : public ComObject<IDirect3DVertexDeclaration9>, public Resource {
 public:
  VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count);
  // Whether every element can reach a vertex shader as Direct3D 9 gives it:
  // a stream 0..15, the default method, a type with a GL attribute format, a
  // usage up to SAMPLE and index up to 15, each usage and index once; the
  // types are those the device's context feeds (GlDevice::FeedsVertexType).
  static bool Valid(const GlDevice& gl, const D3DVERTEXELEMENT9* elements, UINT count);
  // Bytes of an element of a valid type.
  static UINT TypeSize(BYTE type);
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetOwnerDevice(ppDevice); }
  HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;
  void DestroyGl() override {}
  void RecreateGl() override {}
  const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }
  // Each stream the elements read, once, with the bytes they reach in it.
  const std::vector<VertexStreamReach>& Reaches() const { return m_reaches; }
  // The inputs D3DCOLOR elements feed: by usage, a bit per usage index.
  const std::array<uint16_t, MAXD3DDECLUSAGE + 1>& ColourInputs() const { return m_colourInputs; }

 protected:
  bool Implements(REFIID riid) const override { return riid == IID_IDirect3DVertexDeclaration9; }
  void LastRelease() override { PublicReleased(); }
  void Revived() override { PublicRevived(); }

 private:
  std::vector<D3DVERTEXELEMENT9> m_elements;
  std::vector<VertexStreamReach> m_reaches;
  std::array<uint16_t, MAXD3DDECLUSAGE + 1> m_colourInputs{};
};

}  // namespace ostrevin::d3d9
