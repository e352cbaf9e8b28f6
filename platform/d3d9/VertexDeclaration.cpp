#include "VertexDeclaration.h"

#include <algorithm>

namespace ostrevin::d3d9 {

VertexDeclaration::VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count)
    : Resource(device), m_elements(elements, elements + count) {}

HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
  if (pNumElements == nullptr) return D3DERR_INVALIDCALL;
  const UINT total = static_cast<UINT>(m_elements.size()) + 1;
  if (pElement != nullptr) {
    std::copy(m_elements.begin(), m_elements.end(), pElement);
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    pElement[total - 1] = end;
  }
  *pNumElements = total;
  return D3D_OK;
}

}  // namespace ostrevin::d3d9
