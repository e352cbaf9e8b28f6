// A minimal Direct3D 9 device for the texture loader: only CreateTexture
// works. Its textures pad every row by 4 bytes and keep each level in a
// buffer of exactly pitch x rows bytes, so a loader that ignores the pitch or
// writes past a level shows (and AddressSanitizer catches the latter).
// CreateTexture aborts on arguments the loader must never pass.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/d3dx9/texture/Dds.h"
#include "platform/formats/TextureLayout.h"

namespace texture_test {

class StubTexture : public IDirect3DTexture9 {
 public:
  static constexpr uint8_t kFill = 0xCD;  // every byte before the loader writes
  StubTexture(UINT width, UINT height, UINT levels, D3DFORMAT format) {
    for (UINT i = 0; i < levels; ++i) {
      Level level;
      level.width = width;
      level.height = height;
      level.pitch = static_cast<UINT>(ostrevin::formats::RowBytes(format, width)) + 4;  // padded rows
      level.bytes.assign(static_cast<size_t>(level.pitch) * ostrevin::formats::RowCount(format, height), kFill);
      m_levels.push_back(std::move(level));
      width = width > 1 ? width / 2 : 1;
      height = height > 1 ? height / 2 : 1;
    }
    m_format = format;
  }
  virtual ~StubTexture() = default;

  // True when every level is unlocked and, in every row, the bytes past
  // the level's row size (the padding) are as CreateTexture left them.
  bool PaddingIntact() const {
    for (const Level& level : m_levels) {
      const size_t rowBytes = static_cast<size_t>(ostrevin::formats::RowBytes(m_format, level.width));
      if (level.locked) return false;
      for (size_t at = 0; at < level.bytes.size(); at += level.pitch) {
        for (size_t i = rowBytes; i < level.pitch; ++i) {
          if (level.bytes[at + i] != kFill) return false;
        }
      }
    }
    return true;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
    if (level >= m_levels.size() || desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{};
    desc->Format = m_format;
    desc->Width = m_levels[level].width;
    desc->Height = m_levels[level].height;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override {
    if (level >= m_levels.size() || locked == nullptr || rect != nullptr || m_levels[level].locked) {
      return D3DERR_INVALIDCALL;
    }
    m_levels[level].locked = true;
    locked->Pitch = static_cast<INT>(m_levels[level].pitch);
    locked->pBits = m_levels[level].bytes.data();
    return D3D_OK;
  }
  // The level's bytes as stored: `Pitch()` bytes a row, padding included.
  const std::vector<uint8_t>& Bytes(UINT level) const { return m_levels[level].bytes; }
  UINT Pitch(UINT level) const { return m_levels[level].pitch; }
  bool Locked(UINT level) const { return m_levels[level].locked; }

  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
    if (level >= m_levels.size() || !m_levels[level].locked) return D3DERR_INVALIDCALL;
    m_levels[level].locked = false;
    return D3D_OK;
  }

 private:
  struct Level {
    UINT width, height, pitch;
    bool locked = false;
    std::vector<uint8_t> bytes;
  };
  std::vector<Level> m_levels;
  D3DFORMAT m_format;
  ULONG m_refs = 1;
};

// Only CreateTexture does anything; the loader calls nothing else.
class StubDevice : public IDirect3DDevice9 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return D3D_OK; }
  HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9** pp, HANDLE* shared) override {
    if (pp == nullptr || width == 0 || height == 0 || width > ostrevin::formats::kMaxTextureSize ||
        height > ostrevin::formats::kMaxTextureSize || levels == 0 || levels > ostrevin::formats::FullChainLength(width, height) ||
        usage != 0 || pool != D3DPOOL_MANAGED || shared != nullptr || ostrevin::formats::RowBytes(format, 1) == 0 ||
        !ostrevin::formats::OnDevice(*ostrevin::formats::FindFormat(format))) {
      std::abort();  // the loader asked for something it never should
    }
    *pp = new StubTexture(width, height, levels, format);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**,
                                               HANDLE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**,
                                              HANDLE*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE BeginScene() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndScene() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTexture(DWORD, IDirect3DBaseTexture9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD, IDirect3DBaseTexture9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetScissorRect(RECT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT, float*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT, const int*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT, int*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT, const BOOL*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT, BOOL*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT, float*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT, const int*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT, int*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT, const BOOL*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT, BOOL*, UINT) override { return E_NOTIMPL; }
};

}  // namespace texture_test
