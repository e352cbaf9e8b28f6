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
      m_options(options) {
  RecreateGl();
}

ShaderStageObject::~ShaderStageObject() { DestroyGl(); }

void ShaderStageObject::DestroyGl() {
  if (m_shader != 0 && OwnerDevice()->ContextAlive()) gl::DeleteShader(m_shader);
  m_shader = 0;
}

void ShaderStageObject::RecreateGl() {
  m_shader = gl::CreateShader(m_glsl.stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const char* source = m_glsl.source.c_str();
  gl::ShaderSource(m_shader, 1, &source, nullptr);
  gl::CompileShader(m_shader);
  GLint ok = GL_FALSE;
  gl::GetShaderiv(m_shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    GLint length = 0;
    gl::GetShaderiv(m_shader, GL_INFO_LOG_LENGTH, &length);
    m_log.assign(static_cast<size_t>(std::max(length, 1)), '\0');
    gl::GetShaderInfoLog(m_shader, length, nullptr, &m_log[0]);
    gl::DeleteShader(m_shader);
    m_shader = 0;
  }
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
