// IDirect3DVertexBuffer9 and IDirect3DIndexBuffer9: one buffer template, a
// system-memory copy handed whole to the GL buffer (GlBuffer) when the last
// lock ends.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

#include "ComObject.h"
#include "Resource.h"
#include "gl/GlBuffer.h"

namespace ostrevin::d3d9 {

template <typename Interface, typename Desc>
class Buffer : public ComObject<Interface>, public Resource {
 public:
  Buffer(Device* device, const Desc& desc);
  ~Buffer() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetOwnerDevice(ppDevice); }
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override { return m_priority; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return m_desc.Type; }
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** ppbData, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Unlock() override;
  HRESULT STDMETHODCALLTYPE GetDesc(Desc* pDesc) override;
  void DestroyGl() override;
  void RecreateGl() override;
  D3DPOOL Pool() const override { return m_desc.Pool; }
  const GlBuffer& Gl() const { return m_gl; }
  UINT Size() const { return static_cast<UINT>(m_data.size()); }

 protected:
  const Desc& Description() const { return m_desc; }
  void LastRelease() override { PublicReleased(); }
  void Revived() override { PublicRevived(); }

 private:
  std::vector<uint8_t> m_data;
  Desc m_desc;
  GlBuffer m_gl;
  int m_locks = 0;
  DWORD m_priority = 0;  // managed resources only
};

class VertexBuffer final : public Buffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC> {
 public:
  VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

 protected:
  bool Implements(REFIID riid) const override;
};

class IndexBuffer final : public Buffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC> {
 public:
  IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  D3DFORMAT Format() const { return Description().Format; }

 protected:
  bool Implements(REFIID riid) const override;
};

}  // namespace ostrevin::d3d9
