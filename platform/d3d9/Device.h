// IDirect3DDevice9: validates every call, records the Direct3D state in a
// DeviceState, and hands the GL work to its GlDevice. Every Set* is filtered
// against the recorded state, so a program that sets its full state every
// frame costs no GL calls for what did not change. Resources keep their
// system-memory copies and hand their GL work to back-end objects on the
// GlDevice, so that a lost context can be rebuilt on Reset.
//
// Device.cpp: lifetime, Reset, Present and the resource list;
// DeviceCreate.cpp: the Create* calls; DeviceStateCalls.cpp: the Set* and
// Get* calls; DeviceDraw.cpp: scenes and the draws; DeviceClear.cpp: Clear
// and the scissor rectangle.
#pragma once

#include <d3d9.h>

#include <SDL.h>

#include <vector>

#include "ComObject.h"
#include "DeviceState.h"
#include "gl/GlDevice.h"

namespace ostrevin::d3d9 {

class Direct3D9;
class Resource;

class Device final : public ComObject<IDirect3DDevice9> {
 public:
  Device(Direct3D9* d3d, HWND window, SDL_Window* sdlWindow);
  ~Device() override;

  // Checks present parameters for `window` and fills in what Direct3D 9
  // chooses: the client size for a 0 width or height, the display format
  // for D3DFMT_UNKNOWN, one back buffer for none.
  static HRESULT ChoosePresentParameters(HWND window, D3DPRESENT_PARAMETERS* params);
  // Creates the context and the back buffer for chosen parameters; a
  // failure (with a reason on standard error) when it cannot.
  HRESULT Initialise(const D3DPRESENT_PARAMETERS& params);

  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
  HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** ppD3D9) override;
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* pParams) override;
  HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                    const RGNDATA* pDirtyRegion) override;
  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9** ppTexture, HANDLE* pShared) override;
  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer9** ppBuffer, HANDLE* pShared) override;
  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer9** ppBuffer, HANDLE* pShared) override;
  HRESULT STDMETHODCALLTYPE BeginScene() override;
  HRESULT STDMETHODCALLTYPE EndScene() override;
  HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* pRects, DWORD flags, D3DCOLOR color, float z,
                                  DWORD stencil) override;
  HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* pViewport) override;
  HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) override;
  HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* pValue) override;
  HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* pRect) override;
  HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* pRect) override;
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                                 UINT numVertices, UINT startIndex, UINT primCount) override;
  HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* pElements,
                                                    IDirect3DVertexDeclaration9** ppDecl) override;
  HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
  HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT start, const float* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT start, float* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT start, const int* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT start, int* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT start, const BOOL* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT start, BOOL* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* pBuffer, UINT offset,
                                            UINT stride) override;
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT start, const float* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT start, float* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT start, const int* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT start, int* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT start, const BOOL* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT start, BOOL* pData, UINT count) override;

  // For the resources: they register while they live, and hand their GL
  // work to their back-end objects on the device's GL side.
  void Register(Resource* resource);
  void Unregister(Resource* resource);
  GlDevice& Gl() { return m_gl; }

 protected:
  bool Implements(REFIID riid) const override { return riid == IID_IDirect3DDevice9; }

 private:
  HRESULT CreateContext();
  void DestroyContext();
  HRESULT CreateBackBuffer();
  int RequestedSwapInterval() const;

  Direct3D9* m_d3d;
  HWND m_window;
  D3DPRESENT_PARAMETERS m_params{};
  bool m_lost = false;
  bool m_inScene = false;
  unsigned m_presents = 0;
  DeviceState m_state;
  GlDevice m_gl;
  std::vector<Resource*> m_resources;
};

}  // namespace ostrevin::d3d9
