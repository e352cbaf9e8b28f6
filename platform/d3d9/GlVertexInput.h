// GL vertex arrays, one per combination of declaration, the streams it reads
// (buffer, offset, stride) and index buffer as the draws meet them.
#pragma once

#include <memory>
#include <vector>

#include "DeviceState.h"
#include "GlStateCache.h"

namespace ostrevin::d3d9 {

class Resource;

class GlVertexArrayCache {
 public:
  static constexpr GLuint kMaxAttributes = 16;

  // Binds the vertex array of the state's input; false (nothing bound) when
  // the declaration or a stream it reads is missing. The index buffer is
  // part of the array when one is set.
  bool Bind(const DeviceState& state, GlStateCache& cache);
  void InputChanged() { m_dirty = true; }
  // Drops the vertex arrays made with `resource` (a declaration or buffer being released).
  void Forget(const Resource* resource, bool contextAlive, GlStateCache& cache);
  void DestroyAll();

 private:
  struct StreamKey {
    VertexBuffer* buffer;
    UINT offset, stride;
  };
  struct VertexArray {
    VertexDeclaration* decl;
    StreamKey streams[DeviceState::kStreams];  // those the declaration reads; the others zero
    IndexBuffer* ib;
    GLuint name;
  };
  VertexArray* Make(const VertexArray& key, GlStateCache& cache);

  std::vector<std::unique_ptr<VertexArray>> m_arrays;
  VertexArray* m_current = nullptr;
  bool m_dirty = true;
};

}  // namespace ostrevin::d3d9
