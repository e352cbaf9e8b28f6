#include "GlBuffer.h"

#include "GlDevice.h"
#include "GlStateCache.h"

namespace ostrevin::d3d9 {

void GlBuffer::Create(GlDevice& device, const void* data, size_t bytes, bool indices) {
  device.MakeCurrent();
  gl::GenBuffers(1, &m_name);
  if (indices && device.Caps().es) {
    // WebGL fixes a buffer's kind at its first binding: one first bound to
    // the copy target could never hold indices. An index buffer is first
    // bound as one, in the default vertex array (ES has one).
    device.Cache().BindVertexArray(0);
    device.Cache().BindElementBuffer(m_name);
    gl::BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    return;
  }
  device.Cache().BindCopyWriteBuffer(m_name);
  gl::BufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
}

void GlBuffer::Upload(GlDevice& device, const void* data, size_t bytes) {
  if (m_name == 0 || bytes == 0) return;
  device.MakeCurrent();
  device.Cache().BindCopyWriteBuffer(m_name);
  gl::BufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

void GlBuffer::Destroy(GlDevice& device) {
  device.MakeCurrent();
  device.Cache().ForgetBuffer(m_name);
  if (m_name != 0 && device.Alive()) gl::DeleteBuffers(1, &m_name);
  m_name = 0;
}

}  // namespace ostrevin::d3d9
