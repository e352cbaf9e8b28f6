#include "GlStateCache.h"

namespace ostrevin::d3d9 {

void GlStateCache::Invalidate() {
  program = vertexArray = copyWriteBuffer = kUnknown;
  for (GLuint& t : textures) t = kUnknown;
  activeUnit = kUnknown;
}

void GlStateCache::UseProgram(GLuint name) {
  if (program == name) return;
  gl::UseProgram(name);
  program = name;
}

void GlStateCache::BindVertexArray(GLuint name) {
  if (vertexArray == name) return;
  gl::BindVertexArray(name);
  vertexArray = name;
}

void GlStateCache::BindCopyWriteBuffer(GLuint name) {
  if (copyWriteBuffer == name) return;
  gl::BindBuffer(GL_COPY_WRITE_BUFFER, name);
  copyWriteBuffer = name;
}

void GlStateCache::BindTexture(GLuint unit, GLuint name) {
  if (textures[unit] == name) return;
  if (activeUnit != GL_TEXTURE0 + unit) {
    gl::ActiveTexture(GL_TEXTURE0 + unit);
    activeUnit = GL_TEXTURE0 + unit;
  }
  gl::BindTexture(GL_TEXTURE_2D, name);
  textures[unit] = name;
}

void GlStateCache::BindTextureForUpload(GLuint name) {
  if (activeUnit != GL_TEXTURE0 + kUploadUnit) {
    gl::ActiveTexture(GL_TEXTURE0 + kUploadUnit);
    activeUnit = GL_TEXTURE0 + kUploadUnit;
  }
  BindTexture(kUploadUnit, name);
}

void GlStateCache::ForgetTexture(GLuint name) {
  for (GLuint& t : textures)
    if (t == name) t = kUnknown;
}

void GlStateCache::ForgetBuffer(GLuint name) {
  if (copyWriteBuffer == name) copyWriteBuffer = kUnknown;
}

void GlStateCache::ForgetProgram(GLuint name) {
  if (program == name) program = kUnknown;
}

void GlStateCache::ForgetVertexArray(GLuint name) {
  if (vertexArray == name) vertexArray = kUnknown;
}

}  // namespace ostrevin::d3d9
