// The device's lifetime: creation, loss and Reset, Present, and the list of
// resources that are rebuilt after a loss.
#include "Device.h"

#include <algorithm>

#include "Buffer.h"
#include "Direct3D9.h"
#include "Shader.h"
#include "Switches.h"
#include "Texture.h"
#include "TextureLayout.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

Device::Device(Direct3D9* d3d, HWND window, SDL_Window* sdlWindow) : m_d3d(d3d), m_window(window), m_gl(sdlWindow) {
  m_d3d->AddRef();
}

Device::~Device() {
  DestroyContext();
  m_d3d->Release();
}

HRESULT Device::Initialise(const D3DPRESENT_PARAMETERS& params) {
  m_params = params;
  HRESULT hr = CreateContext();
  if (FAILED(hr)) return hr;
  return CreateBackBuffer();
}

int Device::RequestedSwapInterval() const {
  int interval = m_params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
  if (m_params.PresentationInterval == D3DPRESENT_INTERVAL_TWO) interval = 2;
  return switches::SwapInterval(interval);
}

HRESULT Device::CreateContext() { return m_gl.CreateContext(RequestedSwapInterval()); }

void Device::DestroyContext() {
  if (!m_gl.Alive()) return;
  m_gl.MakeCurrent();
  for (Resource* r : m_resources) r->DestroyGl();
  m_gl.DestroyContext();
}

HRESULT Device::CreateBackBuffer() {
  UINT width = m_params.BackBufferWidth, height = m_params.BackBufferHeight;
  if (width == 0 || height == 0) {
    RECT client;
    GetClientRect(m_window, &client);
    if (width == 0) width = static_cast<UINT>(std::max<LONG>(1, client.right - client.left));
    if (height == 0) height = static_cast<UINT>(std::max<LONG>(1, client.bottom - client.top));
    m_params.BackBufferWidth = width;
    m_params.BackBufferHeight = height;
  }
  if (width > formats::kMaxTextureSize || height > formats::kMaxTextureSize) return D3DERR_INVALIDCALL;
  const HRESULT hr = m_gl.CreateBackBuffer(width, height);
  if (FAILED(hr)) return hr;
  m_state.SetDefaults(m_params.EnableAutoDepthStencil != FALSE, width, height);
  m_gl.ApplyAll(m_state);
  return D3D_OK;
}

HRESULT Device::TestCooperativeLevel() { return m_lost ? D3DERR_DEVICENOTRESET : D3D_OK; }

HRESULT Device::GetDirect3D(IDirect3D9** ppD3D9) {
  if (ppD3D9 == nullptr) return D3DERR_INVALIDCALL;
  m_d3d->AddRef();
  *ppD3D9 = m_d3d;
  return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* pParams) {
  if (pParams == nullptr) return D3DERR_INVALIDCALL;
  m_inScene = false;
  // A default-pool resource would have to be released first.
  for (Resource* r : m_resources) {
    const Texture* t = dynamic_cast<const Texture*>(r);
    if (t != nullptr && t->Pool() == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  }
  m_params = *pParams;
  if (m_lost || !m_gl.Alive()) {
    // After a loss everything is rebuilt from the system-memory copies.
    DestroyContext();
    if (FAILED(CreateContext())) return D3DERR_DEVICELOST;
    for (Resource* r : m_resources) r->RecreateGl();
  } else {
    m_gl.MakeCurrent();
    m_gl.DestroyBackBuffer();
    m_gl.SetSwapInterval(RequestedSwapInterval());
  }
  const HRESULT hr = CreateBackBuffer();
  if (FAILED(hr)) return hr;
  pParams->BackBufferWidth = m_params.BackBufferWidth;
  pParams->BackBufferHeight = m_params.BackBufferHeight;
  m_lost = false;
  return D3D_OK;
}

HRESULT Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND, const RGNDATA*) {
  if (!m_lost && m_gl.Alive() && m_gl.ContextWasReset()) m_lost = true;  // the context is gone: Reset rebuilds it
  const bool lost = m_lost || !m_gl.Alive();
  const GlBackBuffer& bb = m_gl.BackBuffer();
  const switches::PresentVerdict verdict =
      switches::OnPresent(++m_presents, lost, {bb.framebuffer, bb.width, bb.height});
  if (verdict.failAsLost) m_lost = true;
  const HRESULT result = lost || verdict.failAsLost ? D3DERR_DEVICELOST : D3D_OK;
  if (result == D3D_OK) m_gl.Present(pSourceRect, pDestRect);
  if (verdict.postClose) PostMessageW(m_window, WM_CLOSE, 0, 0);
  return result;
}

// ------------------------------------------------------------- resources

void Device::Register(Resource* resource) { m_resources.push_back(resource); }

void Device::Unregister(Resource* resource) {
  m_gl.MakeCurrent();
  for (IDirect3DBaseTexture9*& texture : m_state.textures)
    if (texture != nullptr && static_cast<Resource*>(static_cast<Texture*>(texture)) == resource) texture = nullptr;
  DeviceState& s = m_state;
  if (resource == static_cast<Resource*>(s.decl) || resource == static_cast<Resource*>(s.stream) ||
      resource == static_cast<Resource*>(s.indices)) {
    if (resource == static_cast<Resource*>(s.decl)) s.decl = nullptr;
    if (resource == static_cast<Resource*>(s.stream)) s.stream = nullptr;
    if (resource == static_cast<Resource*>(s.indices)) s.indices = nullptr;
    m_gl.VertexInputChanged();
  }
  if (resource == static_cast<Resource*>(s.vs) || resource == static_cast<Resource*>(s.ps)) {
    if (resource == static_cast<Resource*>(s.vs)) s.vs = nullptr;
    if (resource == static_cast<Resource*>(s.ps)) s.ps = nullptr;
    m_gl.ShadersChanged();
  }
  m_gl.ForgetResource(resource);
  m_resources.erase(std::remove(m_resources.begin(), m_resources.end(), resource), m_resources.end());
}

GlStateCache& Device::CurrentGl() {
  m_gl.MakeCurrent();
  return m_gl.Cache();
}

}  // namespace ostrevin::d3d9
