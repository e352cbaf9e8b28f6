#include "GlStateCache.h"

namespace ostrevin::d3d9 {

namespace {
void Forget(GLuint& entry, GLuint name) {
  if (entry == name) entry = GlStateCache::kUnknown;
}
}  // namespace

void GlStateCache::Invalidate() {
  program = vertexArray = arrayBuffer = elementBuffer = copyWriteBuffer = kUnknown;
  drawFramebuffer = readFramebuffer = renderbuffer = kUnknown;
  for (GLuint& t : textures) t = kUnknown;
  for (GLuint& s : samplers) s = kUnknown;
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
  elementBuffer = kUnknown;
}

void GlStateCache::BindArrayBuffer(GLuint name) {
  if (arrayBuffer == name) return;
  gl::BindBuffer(GL_ARRAY_BUFFER, name);
  arrayBuffer = name;
}

void GlStateCache::BindElementBuffer(GLuint name) {
  if (elementBuffer == name) return;
  gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
  elementBuffer = name;
}

void GlStateCache::BindCopyWriteBuffer(GLuint name) {
  if (copyWriteBuffer == name) return;
  gl::BindBuffer(GL_COPY_WRITE_BUFFER, name);
  copyWriteBuffer = name;
}

void GlStateCache::BindFramebuffer(GLuint name) {
  if (drawFramebuffer == name && readFramebuffer == name) return;
  gl::BindFramebuffer(GL_FRAMEBUFFER, name);
  drawFramebuffer = readFramebuffer = name;
}

void GlStateCache::BindDrawFramebuffer(GLuint name) {
  if (drawFramebuffer == name) return;
  gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, name);
  drawFramebuffer = name;
}

void GlStateCache::BindRenderbuffer(GLuint name) {
  if (renderbuffer == name) return;
  gl::BindRenderbuffer(GL_RENDERBUFFER, name);
  renderbuffer = name;
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

void GlStateCache::BindSampler(GLuint unit, GLuint name) {
  if (samplers[unit] == name) return;
  gl::BindSampler(unit, name);
  samplers[unit] = name;
}

void GlStateCache::ForgetTexture(GLuint name) {
  for (GLuint& t : textures) Forget(t, name);
}

void GlStateCache::ForgetBuffer(GLuint name) {
  Forget(arrayBuffer, name);
  Forget(elementBuffer, name);
  Forget(copyWriteBuffer, name);
}

void GlStateCache::ForgetProgram(GLuint name) { Forget(program, name); }

void GlStateCache::ForgetVertexArray(GLuint name) {
  if (vertexArray == name) vertexArray = elementBuffer = kUnknown;
}

void GlStateCache::ForgetFramebuffer(GLuint name) {
  Forget(drawFramebuffer, name);
  Forget(readFramebuffer, name);
}

void GlStateCache::ForgetRenderbuffer(GLuint name) { Forget(renderbuffer, name); }

}  // namespace ostrevin::d3d9
