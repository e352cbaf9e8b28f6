#include "Resource.h"

#include "Device.h"

namespace ostrevin::d3d9 {

Resource::Resource(Device* device) : m_device(device) {
  m_device->AddRef();
  m_device->Register(this);
}

Resource::~Resource() {
  m_device->Unregister(this);
  m_device->Release();
}

HRESULT Resource::GetOwnerDevice(IDirect3DDevice9** pp) const {
  if (pp == nullptr) return D3DERR_INVALIDCALL;
  m_device->AddRef();
  *pp = m_device;
  return D3D_OK;
}

}  // namespace ostrevin::d3d9
