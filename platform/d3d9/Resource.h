// What every object made on a device shares: a reference to the device, a
// place in its list, and a GL object it can drop and rebuild from its
// system-memory copy when the context is recreated after a loss.
#pragma once

#include <d3d9.h>

namespace ostrevin::d3d9 {

class Device;

class Resource {
 public:
  explicit Resource(Device* device);
  virtual ~Resource();
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;
  virtual void DestroyGl() = 0;
  virtual void RecreateGl() = 0;
  Device* OwnerDevice() const { return m_device; }

 protected:
  // IDirect3DResource9::GetDevice and its kin.
  HRESULT GetOwnerDevice(IDirect3DDevice9** ppDevice) const;

 private:
  Device* m_device;
};

}  // namespace ostrevin::d3d9
