#include "GlShaderCompile.h"

#include <algorithm>

namespace ostrevin::d3d9 {

GLuint CompileGlShader(GLenum type, const std::string& source, std::string* log) {
  const GLuint shader = gl::CreateShader(type);
  const char* text = source.c_str();
  gl::ShaderSource(shader, 1, &text, nullptr);
  gl::CompileShader(shader);
  GLint ok = GL_FALSE;
  gl::GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  GLint length = 0;
  gl::GetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  log->assign(static_cast<size_t>(std::max(length, 1)), '\0');
  gl::GetShaderInfoLog(shader, length, nullptr, &(*log)[0]);
  gl::DeleteShader(shader);
  return 0;
}

}  // namespace ostrevin::d3d9
