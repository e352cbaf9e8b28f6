// IDirect3DVertexShader9 and IDirect3DPixelShader9: the shader code as given
// and its GLSL translation, compiled to a GL shader object (GlShader); other
// translations of the code for the variants programs need.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ComObject.h"
#include "Resource.h"
#include "ShaderCode.h"
#include "gl/GlShader.h"

namespace ostrevin::d3d9 {

class ShaderStageObject : public Resource {
 public:
  ShaderStageObject(Device* device, const DWORD* code, size_t codeBytes, GlslShader glsl, GlslOptions options);
  ~ShaderStageObject() override;
  void DestroyGl() override;
  void RecreateGl() override;
  const GlShader& Gl() const { return m_gl; }
  const GlslShader& Glsl() const { return m_glsl; }
  // The options Glsl() was translated with.
  const GlslOptions& Options() const { return m_options; }
  // The code translated with other options.
  bool Translate(const GlslOptions& options, GlslShader* out, std::string* error) const;
  const std::string& CompileLog() const { return m_log; }
  // Whether every sampler the shader reads takes a 2-D texture.
  bool ReadsPlanarSamplersOnly() const { return m_planarSamplersOnly; }

 protected:
  HRESULT GetFunctionBytes(void* pData, UINT* pSizeOfData) const;

 private:
  std::vector<uint8_t> m_code;
  GlslShader m_glsl;
  GlslOptions m_options;
  bool m_planarSamplersOnly;
  GlShader m_gl;
  std::string m_log;
};

template <typename Interface, const IID& kIid>
class ShaderObject : public ComObject<Interface>, public ShaderStageObject {
 public:
  using ShaderStageObject::ShaderStageObject;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetOwnerDevice(ppDevice); }
  HRESULT STDMETHODCALLTYPE GetFunction(void* pData, UINT* pSizeOfData) override {
    return GetFunctionBytes(pData, pSizeOfData);
  }

 protected:
  bool Implements(REFIID riid) const override { return riid == kIid; }
  void LastRelease() override { PublicReleased(); }
  void Revived() override { PublicRevived(); }
};

class VertexShader final : public ShaderObject<IDirect3DVertexShader9, IID_IDirect3DVertexShader9> {
 public:
  using ShaderObject::ShaderObject;
};

class PixelShader final : public ShaderObject<IDirect3DPixelShader9, IID_IDirect3DPixelShader9> {
 public:
  using ShaderObject::ShaderObject;
};

}  // namespace ostrevin::d3d9
