// GL vertex arrays, one per combination of declaration, stream 0 (buffer,
// offset, stride) and index buffer as the draws meet them.
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
  // the declaration, stream 0, its stride or the indices are missing.
  bool Bind(const DeviceState& state, GlStateCache& cache);
  void InputChanged() { m_dirty = true; }
  // Drops the vertex arrays made with `resource` (a declaration or buffer being released).
  void Forget(const Resource* resource, bool contextAlive, GlStateCache& cache);
  void DestroyAll();

 private:
  struct VertexArray {
    VertexDeclaration* decl;
    VertexBuffer* vb;
    UINT offset, stride;
    IndexBuffer* ib;
    GLuint name;
  };
  VertexArray* Make(const DeviceState& state, GlStateCache& cache);

  std::vector<std::unique_ptr<VertexArray>> m_arrays;
  VertexArray* m_current = nullptr;
  bool m_dirty = true;
};

}  // namespace ostrevin::d3d9
