#include "Buffer.h"

#include <cstring>

#include "Device.h"

namespace ostrevin::d3d9 {

template <typename Interface, typename Desc>
Buffer<Interface, Desc>::Buffer(Device* device, const Desc& desc)
    : Resource(device), m_data(desc.Size), m_desc(desc) {
  RecreateGl();
}

template <typename Interface, typename Desc>
Buffer<Interface, Desc>::~Buffer() {
  DestroyGl();
}

template <typename Interface, typename Desc>
DWORD Buffer<Interface, Desc>::SetPriority(DWORD priority) {
  if (m_desc.Pool != D3DPOOL_MANAGED) return 0;
  const DWORD previous = m_priority;
  m_priority = priority;
  return previous;
}

template <typename Interface, typename Desc>
HRESULT Buffer<Interface, Desc>::Lock(UINT offset, UINT size, void** ppbData, DWORD) {
  if (ppbData == nullptr) return D3DERR_INVALIDCALL;
  *ppbData = nullptr;
  if (offset > m_data.size() || size > m_data.size() - offset) return D3DERR_INVALIDCALL;
  ++m_locks;
  *ppbData = m_data.data() + offset;
  return D3D_OK;
}

template <typename Interface, typename Desc>
HRESULT Buffer<Interface, Desc>::Unlock() {
  if (m_locks == 0) return D3DERR_INVALIDCALL;
  if (--m_locks == 0) m_gl.Upload(OwnerDevice()->Gl(), m_data.data(), m_data.size());
  return D3D_OK;
}

template <typename Interface, typename Desc>
HRESULT Buffer<Interface, Desc>::GetDesc(Desc* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  *pDesc = m_desc;
  return D3D_OK;
}

template <typename Interface, typename Desc>
void Buffer<Interface, Desc>::DestroyGl() {
  m_gl.Destroy(OwnerDevice()->Gl());
}

template <typename Interface, typename Desc>
void Buffer<Interface, Desc>::RecreateGl() {
  m_gl.Create(OwnerDevice()->Gl(), m_data.empty() ? nullptr : m_data.data(), m_data.size(),
              m_desc.Type == D3DRTYPE_INDEXBUFFER);
}

template class Buffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class Buffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

namespace {
template <typename Desc>
Desc Describe(D3DFORMAT format, D3DRESOURCETYPE type, DWORD usage, D3DPOOL pool, UINT length) {
  Desc desc;
  std::memset(&desc, 0, sizeof(desc));
  desc.Format = format;
  desc.Type = type;
  desc.Usage = usage;
  desc.Pool = pool;
  desc.Size = length;
  return desc;
}

D3DVERTEXBUFFER_DESC VertexBufferDesc(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
  D3DVERTEXBUFFER_DESC desc =
      Describe<D3DVERTEXBUFFER_DESC>(D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length);
  desc.FVF = fvf;
  return desc;
}
}  // namespace

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : Buffer(device, VertexBufferDesc(length, usage, fvf, pool)) {}

bool VertexBuffer::Implements(REFIID riid) const {
  return riid == IID_IDirect3DVertexBuffer9 || riid == IID_IDirect3DResource9;
}

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : Buffer(device, Describe<D3DINDEXBUFFER_DESC>(format, D3DRTYPE_INDEXBUFFER, usage, pool, length)) {}

bool IndexBuffer::Implements(REFIID riid) const {
  return riid == IID_IDirect3DIndexBuffer9 || riid == IID_IDirect3DResource9;
}

}  // namespace ostrevin::d3d9
