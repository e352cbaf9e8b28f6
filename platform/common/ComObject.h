// Reference counting and QueryInterface for every COM object of the layer
// (Direct3D 9 and D3DX). An object counts itself among the live objects
// from construction to destruction; QueryInterface answers IUnknown and the
// interfaces the object's Implements names. An object that something else
// still holds (a Direct3D resource bound to its device) overrides
// LastRelease to outlive its last public reference, and Revived to learn of
// a public reference handed out again.
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
  ULONG STDMETHODCALLTYPE AddRef() override {
    const ULONG refs = ++m_refs;
    if (refs == 1) Revived();
    return refs;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) LastRelease();
    return refs;
  }

 protected:
  virtual void LastRelease() { delete this; }
  virtual void Revived() {}

  // Whether the object answers QueryInterface for riid (besides IUnknown).
  virtual bool Implements(REFIID riid) const = 0;

 private:
  ULONG m_refs = 1;
};

}  // namespace ostrevin
