// Reference counting and QueryInterface for every COM object of the layer
// (Direct3D 9 and D3DX). An object counts itself among the live objects
// from construction to destruction; QueryInterface answers IUnknown and the
// interfaces the object's Implements names.
#pragma once

#include <windows.h>

#include "LiveObjects.h"

namespace ostrevin {

template <typename Interface>
class ComObject : public Interface {
 public:
  ComObject() { ObjectCreated(); }
  virtual ~ComObject() { ObjectDestroyed(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || Implements(riid)) {
      AddRef();
      *ppv = static_cast<Interface*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

 protected:
  // Whether the object answers QueryInterface for riid (besides IUnknown).
  virtual bool Implements(REFIID riid) const = 0;

 private:
  ULONG m_refs = 1;
};

}  // namespace ostrevin
