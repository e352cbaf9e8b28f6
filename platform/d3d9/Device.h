// The OpenGL implementation of IDirect3DDevice9 and its resources. All GL
// state of a device lives in the Device object; resources keep their
// system-memory copies (managed pool) so that a lost context can be rebuilt.
#pragma once

#include <d3d9.h>

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GlFunctions.h"
#include "ComObject.h"
#include "LiveObjects.h"
#include "ShaderCode.h"
#include "Switches.h"

namespace ostrevin {
namespace d3d9 {

class Device;

using ostrevin::ComObject;

// A resource made on the device: holds a reference to it and can rebuild
// its GL object after the context was recreated.
class Resource {
 public:
  explicit Resource(Device* device);
  virtual ~Resource();
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;
  virtual void DestroyGl() = 0;
  virtual void RecreateGl() = 0;
  Device* OwnerDevice() const { return m_device; }

 private:
  Device* m_device;
};

class VertexBuffer final : public ComObject<IDirect3DVertexBuffer9>, public Resource {
 public:
  VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  ~VertexBuffer() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** ppbData, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Unlock() override;
  HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;
  void DestroyGl() override;
  void RecreateGl() override;
  GLuint Name() const { return m_name; }
  UINT Size() const { return static_cast<UINT>(m_data.size()); }

 protected:
  bool Implements(REFIID riid) const override;

 private:
  std::vector<uint8_t> m_data;
  D3DVERTEXBUFFER_DESC m_desc;
  GLuint m_name = 0;
  int m_locks = 0;
};

class IndexBuffer final : public ComObject<IDirect3DIndexBuffer9>, public Resource {
 public:
  IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~IndexBuffer() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** ppbData, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Unlock() override;
  HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;
  void DestroyGl() override;
  void RecreateGl() override;
  GLuint Name() const { return m_name; }
  UINT Size() const { return static_cast<UINT>(m_data.size()); }
  D3DFORMAT Format() const { return m_desc.Format; }

 protected:
  bool Implements(REFIID riid) const override;

 private:
  std::vector<uint8_t> m_data;
  D3DINDEXBUFFER_DESC m_desc;
  GLuint m_name = 0;
  int m_locks = 0;
};

// How a Direct3D format maps to GL.
struct GlFormat {
  GLenum internalFormat = 0;
  GLenum format = 0;
  GLenum type = 0;
  bool compressed = false;
  UINT blockBytes = 0;  // bytes per 4x4 block (compressed) or per pixel
  GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
};
bool LookUpFormat(D3DFORMAT format, GlFormat* out);

class Texture final : public ComObject<IDirect3DTexture9>, public Resource {
 public:
  Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
          const GlFormat& glFormat);
  ~Texture() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override;
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override;
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                     DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
  void DestroyGl() override;
  void RecreateGl() override;
  GLuint Name() const { return m_name; }

 protected:
  bool Implements(REFIID riid) const override;

 private:
  struct Level {
    UINT width, height, pitch, rows;
    std::vector<uint8_t> data;
    bool locked = false;
  };
  void Upload(UINT level);

  D3DSURFACE_DESC m_desc;  // of level 0
  GlFormat m_glFormat;
  std::vector<Level> m_levels;
  GLuint m_name = 0;
};

class VertexDeclaration final : public ComObject<IDirect3DVertexDeclaration9>, public Resource {
 public:
  VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count);
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;
  void DestroyGl() override {}
  void RecreateGl() override {}
  const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }  // without the end marker

 protected:
  bool Implements(REFIID riid) const override;

 private:
  std::vector<D3DVERTEXELEMENT9> m_elements;
};

// A translated shader stage, shared by both kinds of shader object.
class ShaderStageObject : public Resource {
 public:
  ShaderStageObject(Device* device, const DWORD* code, size_t codeBytes, GlslShader glsl);
  ~ShaderStageObject() override;
  void DestroyGl() override;
  void RecreateGl() override;
  GLuint GlShader() const { return m_shader; }
  const GlslShader& Glsl() const { return m_glsl; }
  const std::string& CompileLog() const { return m_log; }
  HRESULT GetFunctionBytes(void* pData, UINT* pSizeOfData) const;

 private:
  std::vector<uint8_t> m_code;
  GlslShader m_glsl;
  GLuint m_shader = 0;
  std::string m_log;
};

class VertexShader final : public ComObject<IDirect3DVertexShader9>, public ShaderStageObject {
 public:
  using ShaderStageObject::ShaderStageObject;
  ~VertexShader() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT STDMETHODCALLTYPE GetFunction(void* pData, UINT* pSizeOfData) override {
    return GetFunctionBytes(pData, pSizeOfData);
  }

 protected:
  bool Implements(REFIID riid) const override;
};

class PixelShader final : public ComObject<IDirect3DPixelShader9>, public ShaderStageObject {
 public:
  using ShaderStageObject::ShaderStageObject;
  ~PixelShader() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
  HRESULT STDMETHODCALLTYPE GetFunction(void* pData, UINT* pSizeOfData) override {
    return GetFunctionBytes(pData, pSizeOfData);
  }

 protected:
  bool Implements(REFIID riid) const override;
};

class Direct3D9 final : public ComObject<IDirect3D9> {
 public:
  UINT STDMETHODCALLTYPE GetAdapterCount() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                                         D3DPRESENT_PARAMETERS* pParams, IDirect3DDevice9** ppDevice) override;

 protected:
  bool Implements(REFIID riid) const override;
};

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgbTopRowFirst);

class Device final : public ComObject<IDirect3DDevice9> {
 public:
  Device(Direct3D9* d3d, HWND window, SDL_Window* sdlWindow);
  ~Device() override;

  // Creates the context and the back buffer; false (with a reason) when it cannot.
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
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* pBuffer, UINT offset,
                                            UINT stride) override;
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT start, const float* pData, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT start, float* pData, UINT count) override;

  // Used by the resources.
  void Register(Resource* resource);
  void Unregister(Resource* resource);
  void BindCopyWriteBuffer(GLuint name);
  void BindTextureForUpload(GLuint name);
  bool ContextAlive() const { return m_context != nullptr; }
  void ForgetGlName(GLuint name, bool texture);
  static constexpr GLuint kUnknownBinding = 0xFFFFFFFFu;
  void MakeCurrent();

  static constexpr UINT kVertexRegisters = 256;
  static constexpr UINT kPixelRegisters = 224;
  static constexpr UINT kSamplers = 16;
  static constexpr UINT kMaxAttributes = 16;

 protected:
  bool Implements(REFIID riid) const override;

 private:
  struct Program {
    VertexShader* vs = nullptr;
    PixelShader* ps = nullptr;
    GLuint name = 0;
    bool linked = false;
    GLint posFixLocation = -1;
    struct Uniform {
      const GlslUniform* info;
      GLint location;
      bool pixel;
    };
    std::vector<Uniform> uniforms;
    std::vector<float> shadow;  // last uploaded values, 4 floats per register, per uniform in order
    uint64_t vsVersion = ~0ull, psVersion = ~0ull, posFixVersion = ~0ull;
  };
  struct VertexArray {
    VertexDeclaration* decl;
    VertexBuffer* vb;
    UINT offset, stride;
    IndexBuffer* ib;
    GLuint name;
  };

  HRESULT CreateContext();
  void DestroyContext();
  HRESULT CreateBackBuffer();
  void DestroyBackBuffer();
  void ApplyDefaultState();
  void ApplyRenderState(D3DRENDERSTATETYPE state, DWORD value);
  void ApplySamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
  void ApplyViewport();
  Program* CurrentProgram();
  bool LinkProgram(Program& program);
  void UploadConstants(Program& program);
  bool BindVertexInput();
  void BindTextures(const Program& program);
  void ForgetResource(Resource* resource);
  void Capture(unsigned frame);
  void SetSwapInterval();

  Direct3D9* m_d3d;
  HWND m_window;
  SDL_Window* m_sdlWindow;
  SDL_GLContext m_context = nullptr;
  D3DPRESENT_PARAMETERS m_params{};
  bool m_clipControl = false;
  bool m_s3tc = false;
  bool m_robust = false;
  float m_maxAnisotropy = 1.0f;
  bool m_lost = false;
  bool m_inScene = false;

  GLuint m_fbo = 0, m_colorRb = 0, m_depthRb = 0;
  UINT m_bbWidth = 0, m_bbHeight = 0;

  DWORD m_renderStates[256];
  DWORD m_samplerStates[kSamplers][14];
  GLuint m_samplers[kSamplers] = {};
  D3DVIEWPORT9 m_viewport{};
  uint64_t m_viewportVersion = 0;

  float m_vsConstants[kVertexRegisters][4];
  float m_psConstants[kPixelRegisters][4];
  uint64_t m_vsVersion = 1, m_psVersion = 1;

  VertexDeclaration* m_decl = nullptr;
  VertexBuffer* m_stream = nullptr;
  UINT m_streamOffset = 0, m_streamStride = 0;
  IndexBuffer* m_indices = nullptr;
  VertexShader* m_vs = nullptr;
  PixelShader* m_ps = nullptr;
  IDirect3DBaseTexture9* m_textures[kSamplers] = {};

  // GL bindings as last made, to skip redundant calls.
  Program* m_boundProgram = nullptr;
  VertexArray* m_boundVertexArray = nullptr;
  bool m_vertexInputDirty = true;
  bool m_programDirty = true;
  GLuint m_boundTextures[kSamplers] = {};
  GLuint m_uploadBuffer = 0;
  GLenum m_activeUnit = GL_TEXTURE0;

  std::vector<std::unique_ptr<Program>> m_programs;
  std::vector<std::unique_ptr<VertexArray>> m_vertexArrays;
  std::vector<Resource*> m_resources;

  unsigned m_frames = 0;
  std::vector<uint8_t> m_captureRgba, m_captureRgb;
  uint64_t m_firstPresentNs = 0;
};

}  // namespace d3d9
}  // namespace ostrevin
