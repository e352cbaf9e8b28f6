#include "GlShader.h"

#include <algorithm>

#include "GlDevice.h"
#include "GlFunctions.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

bool GlShader::Create(GlDevice& device, const GlslShader& glsl, std::string* log) {
  device.MakeCurrent();
  m_name = gl::CreateShader(glsl.stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const char* source = glsl.source.c_str();
  gl::ShaderSource(m_name, 1, &source, nullptr);
  gl::CompileShader(m_name);
  GLint ok = GL_FALSE;
  gl::GetShaderiv(m_name, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return true;
  GLint length = 0;
  gl::GetShaderiv(m_name, GL_INFO_LOG_LENGTH, &length);
  log->assign(static_cast<size_t>(std::max(length, 1)), '\0');
  gl::GetShaderInfoLog(m_name, length, nullptr, &(*log)[0]);
  gl::DeleteShader(m_name);
  m_name = 0;
  return false;
}

void GlShader::Destroy(GlDevice& device) {
  if (m_name != 0 && device.Alive()) {
    device.MakeCurrent();
    gl::DeleteShader(m_name);
  }
  m_name = 0;
}

}  // namespace ostrevin::d3d9
