#include "Resource.h"

#include "Device.h"

namespace ostrevin::d3d9 {

Resource::Resource(Device* device) : m_device(device) {
  m_device->AddRef();
  m_device->Register(this);
}

Resource::~Resource() {
  m_device->Unregister(this);
  if (m_holdsDevice) m_device->Release();
}

void Resource::RemoveBinding() {
  if (--m_bindings == 0 && !m_publiclyHeld) delete this;
}

void Resource::PublicReleased() {
  m_publiclyHeld = false;
  if (m_bindings == 0) {
    delete this;
    return;
  }
  // Bound: the device keeps the object, which no longer keeps the device
  // (releasing it may destroy the device, and this object with it).
  m_holdsDevice = false;
  m_device->Release();
}

void Resource::PublicRevived() {
  m_publiclyHeld = true;
  if (!m_holdsDevice) {
    m_holdsDevice = true;
    m_device->AddRef();
  }
}

HRESULT Resource::GetOwnerDevice(IDirect3DDevice9** pp) const {
  if (pp == nullptr) return D3DERR_INVALIDCALL;
  m_device->AddRef();
  *pp = m_device;
  return D3D_OK;
}

}  // namespace ostrevin::d3d9
