#include "GlShader.h"

#include "GlDevice.h"
#include "GlShaderCompile.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

bool GlShader::Create(GlDevice& device, const GlslShader& glsl, std::string* log) {
  device.MakeCurrent();
  m_name = CompileGlShader(glsl.stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, glsl.source, log);
  return m_name != 0;
}

void GlShader::Destroy(GlDevice& device) {
  if (m_name != 0 && device.Alive()) {
    device.MakeCurrent();
    gl::DeleteShader(m_name);
  }
  m_name = 0;
}

}  // namespace ostrevin::d3d9
