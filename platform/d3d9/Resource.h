// What every object made on a device shares: a reference to the device, a
// place in its list, a back-end GL object (GlBuffer, GlTexture, GlShader) it
// can drop and rebuild from its system-memory copy when the context is
// recreated after a loss, and the device's own hold on it while it is bound.
// As in Direct3D 9, binding does not change the public reference count: an
// object released while bound gives up its reference to the device and lives
// on, drawable, until it is unbound.
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
  // The memory pool; objects outside the pools (declarations, shaders)
  // survive Reset as managed resources do.
  virtual D3DPOOL Pool() const { return D3DPOOL_MANAGED; }

  // The device's hold while the object is bound; the last unbinding of an
  // object without public references destroys it.
  void AddBinding() { ++m_bindings; }
  void RemoveBinding();
  // Whether the application still holds a reference.
  bool PubliclyHeld() const { return m_publiclyHeld; }

 protected:
  // IDirect3DResource9::GetDevice and its kin.
  HRESULT GetOwnerDevice(IDirect3DDevice9** ppDevice) const;
  // From the COM class's LastRelease and Revived: the last public reference
  // went, or one came back.
  void PublicReleased();
  void PublicRevived();

 private:
  Device* m_device;
  unsigned m_bindings = 0;
  bool m_publiclyHeld = true;
  bool m_holdsDevice = true;
};

}  // namespace ostrevin::d3d9
