// The GL buffer behind a vertex or index buffer: made with the buffer's
// contents, replaced whole by each upload. The front keeps the
// system-memory copy and calls here; the vertex arrays read the name.
#pragma once

#include <cstddef>

namespace ostrevin::d3d9 {

class GlDevice;

class GlBuffer {
 public:
  // A GL buffer of `bytes` bytes holding `data` (undefined contents when
  // null); `indices` for an index buffer.
  void Create(GlDevice& device, const void* data, size_t bytes, bool indices);
  // The whole buffer replaced by `bytes` bytes of `data`.
  void Upload(GlDevice& device, const void* data, size_t bytes);
  void Destroy(GlDevice& device);
  unsigned Name() const { return m_name; }  // 0 while there is none

 private:
  unsigned m_name = 0;
};

}  // namespace ostrevin::d3d9
