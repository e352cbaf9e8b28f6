// IDirect3DVertexDeclaration9: the elements as given, without the end marker.
#pragma once

#include <d3d9.h>

#include <vector>

#include "ComObject.h"
#include "Resource.h"

namespace ostrevin::d3d9 {

class VertexDeclaration final : public ComObject<IDirect3DVertexDeclaration9>, public Resource {
 public:
  VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count);
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetOwnerDevice(ppDevice); }
  HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;
  void DestroyGl() override {}
  void RecreateGl() override {}
  const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }

 protected:
  bool Implements(REFIID riid) const override { return riid == IID_IDirect3DVertexDeclaration9; }

 private:
  std::vector<D3DVERTEXELEMENT9> m_elements;
};

}  // namespace ostrevin::d3d9
