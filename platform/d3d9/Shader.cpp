#include "Shader.h"

#include <algorithm>
#include <cstring>

#include "Device.h"

namespace ostrevin::d3d9 {

ShaderStageObject::ShaderStageObject(Device* device, const DWORD* code, size_t codeBytes, GlslShader glsl,
                                     GlslOptions options)
    : Resource(device),
      m_code(reinterpret_cast<const uint8_t*>(code), reinterpret_cast<const uint8_t*>(code) + codeBytes),
      m_glsl(std::move(glsl)),
      m_options(options),
      m_planarSamplersOnly(std::all_of(m_glsl.samplers.begin(), m_glsl.samplers.end(),
                                       [](const GlslSampler& s) { return s.planar; })) {
  RecreateGl();
}

ShaderStageObject::~ShaderStageObject() { DestroyGl(); }

void ShaderStageObject::DestroyGl() { m_gl.Destroy(OwnerDevice()->Gl()); }

void ShaderStageObject::RecreateGl() {
  m_log.clear();
  m_gl.Create(OwnerDevice()->Gl(), m_glsl, &m_log);
}

bool ShaderStageObject::Translate(const GlslOptions& options, GlslShader* out, std::string* error) const {
  ShaderCode code;
  std::vector<DWORD> words(m_code.size() / sizeof(DWORD));
  std::memcpy(words.data(), m_code.data(), words.size() * sizeof(DWORD));
  if (!DecodeShaderCode(words.data(), m_code.size(), &code)) {
    *error = "the shader code no longer decodes";
    return false;
  }
  return TranslateShaderToGlsl(code, options, out, error);
}

HRESULT ShaderStageObject::GetFunctionBytes(void* pData, UINT* pSizeOfData) const {
  if (pSizeOfData == nullptr) return D3DERR_INVALIDCALL;
  if (pData == nullptr) {
    *pSizeOfData = static_cast<UINT>(m_code.size());
    return D3D_OK;
  }
  if (*pSizeOfData < m_code.size()) return D3DERR_INVALIDCALL;
  std::memcpy(pData, m_code.data(), m_code.size());
  *pSizeOfData = static_cast<UINT>(m_code.size());
  return D3D_OK;
}

}  // namespace ostrevin::d3d9
