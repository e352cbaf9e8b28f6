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
  m_state.ReleaseBindings();  // destroys the objects only the device still held
  DestroyContext();
  m_d3d->Release();
}

HRESULT Device::ChoosePresentParameters(HWND window, D3DPRESENT_PARAMETERS* p) {
  if (p->SwapEffect != D3DSWAPEFFECT_DISCARD && p->SwapEffect != D3DSWAPEFFECT_FLIP &&
      p->SwapEffect != D3DSWAPEFFECT_COPY)
    return D3DERR_INVALIDCALL;
  if (p->BackBufferCount == 0) p->BackBufferCount = 1;
  if (p->BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX || (p->SwapEffect == D3DSWAPEFFECT_COPY && p->BackBufferCount > 1))
    return D3DERR_INVALIDCALL;
  // Only windowed devices: no exclusive full-screen mode, no present flags.
  if (!p->Windowed || p->FullScreen_RefreshRateInHz != 0 || p->Flags != 0) return D3DERR_INVALIDCALL;
  if (p->PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT && p->PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
      p->PresentationInterval != D3DPRESENT_INTERVAL_TWO && p->PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
    return D3DERR_INVALIDCALL;
  if (p->BackBufferFormat == D3DFMT_UNKNOWN) p->BackBufferFormat = D3DFMT_X8R8G8B8;  // the display's format
  if (p->BackBufferFormat != D3DFMT_X8R8G8B8 && p->BackBufferFormat != D3DFMT_A8R8G8B8) return D3DERR_NOTAVAILABLE;
  if (p->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  if (p->MultiSampleQuality != 0) return D3DERR_INVALIDCALL;
  if (p->EnableAutoDepthStencil) {
    const D3DFORMAT f = p->AutoDepthStencilFormat;
    if (f == D3DFMT_D32) return D3DERR_NOTAVAILABLE;
    if (f != D3DFMT_D24S8 && f != D3DFMT_D24X8 && f != D3DFMT_D16) return D3DERR_INVALIDCALL;
  }
  if (p->BackBufferWidth == 0 || p->BackBufferHeight == 0) {
    RECT client;
    GetClientRect(window, &client);
    if (p->BackBufferWidth == 0) p->BackBufferWidth = static_cast<UINT>(std::max<LONG>(1, client.right - client.left));
    if (p->BackBufferHeight == 0)
      p->BackBufferHeight = static_cast<UINT>(std::max<LONG>(1, client.bottom - client.top));
  }
  if (p->BackBufferWidth > formats::kMaxTextureSize || p->BackBufferHeight > formats::kMaxTextureSize)
    return D3DERR_INVALIDCALL;
  return D3D_OK;
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
  const UINT width = m_params.BackBufferWidth, height = m_params.BackBufferHeight;
  const HRESULT hr =
      m_gl.CreateBackBuffer(width, height, m_params.EnableAutoDepthStencil ? m_params.AutoDepthStencilFormat : D3DFMT_UNKNOWN);
  if (FAILED(hr)) return hr;
  m_state.SetDefaults(m_params.EnableAutoDepthStencil != FALSE, width, height);
  m_gl.ApplyAll(m_state);
  m_gl.ApplyScissorRect(m_state);
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
  m_inScene = false;
  const bool wasLost = m_lost || !m_gl.Alive();
  // Whatever fails leaves the device lost until a Reset succeeds.
  m_lost = true;
  if (pParams == nullptr) return D3DERR_INVALIDCALL;
  if (pParams->hDeviceWindow != NULL && pParams->hDeviceWindow != m_window) return D3DERR_INVALIDCALL;
  D3DPRESENT_PARAMETERS chosen = *pParams;
  HRESULT hr = ChoosePresentParameters(m_window, &chosen);
  if (FAILED(hr)) return hr;
  // Default-pool resources the application holds must be released first;
  // those only the device still holds go with the state Reset restores.
  for (const Resource* r : m_resources)
    if (r->PubliclyHeld() && r->Pool() == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  m_params = chosen;
  if (wasLost) {
    // After a loss everything is rebuilt from the system-memory copies.
    DestroyContext();
    if (FAILED(CreateContext())) return D3DERR_DEVICELOST;
    for (Resource* r : m_resources) r->RecreateGl();
  } else {
    m_gl.MakeCurrent();
    m_gl.DestroyBackBuffer();
    m_gl.SetSwapInterval(RequestedSwapInterval());
  }
  hr = CreateBackBuffer();
  if (FAILED(hr)) return hr;
  *pParams = chosen;
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
  // Never bound here: the device's bindings keep a bound object alive.
  m_gl.MakeCurrent();
  m_gl.ForgetResource(resource);
  m_resources.erase(std::remove(m_resources.begin(), m_resources.end(), resource), m_resources.end());
}

}  // namespace ostrevin::d3d9
