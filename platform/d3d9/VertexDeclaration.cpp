#include "VertexDeclaration.h"

#include <algorithm>

#include "DeviceState.h"
#include "gl/GlDevice.h"

namespace ostrevin::d3d9 {

VertexDeclaration::VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count)
    : Resource(device), m_elements(elements, elements + count) {
  for (const D3DVERTEXELEMENT9& e : m_elements) {
    const UINT end = e.Offset + TypeSize(e.Type);
    auto same = std::find_if(m_reaches.begin(), m_reaches.end(), [&](const VertexStreamReach& r) { return r.stream == e.Stream; });
    if (same == m_reaches.end()) m_reaches.push_back({e.Stream, end});
    else same->bytes = std::max(same->bytes, end);
    if (e.Type == D3DDECLTYPE_D3DCOLOR && e.Usage <= MAXD3DDECLUSAGE && e.UsageIndex < 16)
      m_colourInputs[e.Usage] = static_cast<uint16_t>(m_colourInputs[e.Usage] | (1u << e.UsageIndex));
  }
}

bool VertexDeclaration::Valid(const GlDevice& gl, const D3DVERTEXELEMENT9* elements, UINT count) {
  for (UINT i = 0; i < count; ++i) {
    const D3DVERTEXELEMENT9& e = elements[i];
    if (e.Stream >= DeviceState::kStreams || e.Method != D3DDECLMETHOD_DEFAULT || !gl.FeedsVertexType(e.Type) ||
        e.Usage > MAXD3DDECLUSAGE || e.UsageIndex > MAXD3DDECLUSAGEINDEX)
      return false;
    for (UINT j = 0; j < i; ++j)
      if (elements[j].Usage == e.Usage && elements[j].UsageIndex == e.UsageIndex) return false;
  }
  return true;
}

UINT VertexDeclaration::TypeSize(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1: case D3DDECLTYPE_D3DCOLOR: case D3DDECLTYPE_UBYTE4: case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_SHORT2: case D3DDECLTYPE_SHORT2N: case D3DDECLTYPE_USHORT2N: case D3DDECLTYPE_FLOAT16_2:
      return 4;
    case D3DDECLTYPE_FLOAT2: case D3DDECLTYPE_SHORT4: case D3DDECLTYPE_SHORT4N: case D3DDECLTYPE_USHORT4N:
    case D3DDECLTYPE_FLOAT16_4:
      return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    default: return 16;
  }
}

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
