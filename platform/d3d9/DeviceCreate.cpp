// The device's Create* calls: arguments checked, then the object made.
#include <cstdio>
#include <string>

#include "Buffer.h"
#include "Device.h"
#include "Shader.h"
#include "ShaderTranslation.h"
#include "Texture.h"
#include "TextureLayout.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

namespace {
bool IsPool(D3DPOOL pool) { return pool >= D3DPOOL_DEFAULT && pool <= D3DPOOL_SCRATCH; }

// The SDK's D3DUSAGE_RENDERTARGET and D3DUSAGE_DEPTHSTENCIL, which the
// header does not declare (the device has no render-target or depth-stencil
// textures): a buffer with either is refused, as Direct3D 9 refuses it.
constexpr DWORD kUsageRenderTarget = 0x00000001;
constexpr DWORD kUsageDepthStencil = 0x00000002;

// What a vertex or index buffer's usage and pool may be: no scratch memory
// (the device never reads it), no dynamic managed buffer, and none of the
// texture-only usages.
bool BufferUsageAndPoolValid(DWORD usage, D3DPOOL pool) {
  if (!IsPool(pool) || pool == D3DPOOL_SCRATCH) return false;
  if (usage & (kUsageRenderTarget | kUsageDepthStencil | D3DUSAGE_AUTOGENMIPMAP)) return false;
  return !((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED);
}
}  // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** ppTexture, HANDLE* pShared) {
  if (ppTexture == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (pShared != nullptr || width == 0 || height == 0 || width > formats::kMaxTextureSize ||
      height > formats::kMaxTextureSize)
    return D3DERR_INVALIDCALL;
  if ((usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP)) != 0 || !IsPool(pool)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  const formats::FormatInfo* info = formats::FindFormat(format);
  if (info == nullptr || !formats::OnDevice(*info)) return D3DERR_INVALIDCALL;
  if (info->compressed && !m_gl.Caps().s3tc) return D3DERR_NOTAVAILABLE;
  if (!m_gl.TakesFormat(*info)) return D3DERR_INVALIDCALL;
  const UINT full = formats::FullChainLength(width, height);
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    // One visible level; the device makes the rest, except for block
    // formats, which then have that one level only.
    if (levels > 1 || pool == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    levels = 1;
  }
  if (levels == 0) levels = full;
  if (levels > full) return D3DERR_INVALIDCALL;
  m_gl.MakeCurrent();
  *ppTexture = new Texture(this, width, height, levels, usage, *info, pool);
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** ppBuffer, HANDLE* pShared) {
  // A failed call leaves *ppBuffer as it was, as Direct3D 9 does.
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
  // A zero-length buffer is refused, as wined3d does.
  if (pShared != nullptr || length == 0 || !BufferUsageAndPoolValid(usage, pool)) return D3DERR_INVALIDCALL;
  m_gl.MakeCurrent();
  *ppBuffer = new VertexBuffer(this, length, usage, fvf, pool);
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** ppBuffer, HANDLE* pShared) {
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;  // on failure *ppBuffer stays as it was
  if (pShared != nullptr || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) ||
      !BufferUsageAndPoolValid(usage, pool))
    return D3DERR_INVALIDCALL;
  m_gl.MakeCurrent();
  *ppBuffer = new IndexBuffer(this, length, usage, format, pool);
  return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pElements, IDirect3DVertexDeclaration9** ppDecl) {
  if (ppDecl == nullptr) return D3DERR_INVALIDCALL;
  *ppDecl = nullptr;
  if (pElements == nullptr) return D3DERR_INVALIDCALL;
  UINT count = 0;
  while (pElements[count].Stream != 0xFF) {
    if (count >= MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL;
    ++count;
  }
  if (!VertexDeclaration::Valid(m_gl, pElements, count)) return D3DERR_INVALIDCALL;
  *ppDecl = new VertexDeclaration(this, pElements, count);
  return D3D_OK;
}

namespace {
template <typename ShaderClass, typename Interface>
HRESULT CreateShaderObject(Device* device, GlDevice& gl, ShaderStage stage, const DWORD* pFunction,
                           Interface** ppShader) {
  if (ppShader == nullptr) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  const GlslOptions options = ShaderOptions(gl.Caps().clipControl, gl.Caps().es);
  GlslShader glsl;
  const HRESULT hr = TranslateShaderCode(stage, pFunction, options, &glsl);
  if (FAILED(hr)) return hr;
  gl.MakeCurrent();
  ShaderClass* shader = new ShaderClass(device, pFunction, ShaderCodeSize(pFunction), std::move(glsl), options);
  if (shader->Gl().Name() == 0) {
    std::fprintf(stderr, "ostrevin: translated shader does not compile: %s\n", shader->CompileLog().c_str());
    shader->Release();
    return D3DERR_INVALIDCALL;
  }
  *ppShader = shader;
  return D3D_OK;
}
}  // namespace

HRESULT Device::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  return CreateShaderObject<VertexShader>(this, m_gl, ShaderStage::Vertex, pFunction, ppShader);
}

HRESULT Device::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  return CreateShaderObject<PixelShader>(this, m_gl, ShaderStage::Pixel, pFunction, ppShader);
}

}  // namespace ostrevin::d3d9
