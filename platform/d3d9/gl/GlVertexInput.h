// GL vertex arrays, one per combination of declaration, the streams it reads
// (buffer, offset, stride), index buffer and the vertex shader's input
// locations as the draws meet them. An element the shader does not read is
// not fed; an input no element feeds reads GL's (0, 0, 0, 1), as in Direct3D 9.
// Where GL has no base vertex in its draws (OpenGL ES 3.0), the base vertex
// is part of the array: its attributes start that many vertices further.
#pragma once

#include <memory>
#include <vector>

#include "DeviceState.h"
#include "GlStateCache.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

class Resource;

class GlVertexArrayCache {
 public:
  static constexpr GLuint kMaxAttributes = 16;

  // Binds the vertex array of the state's input; false (nothing bound) when
  // the declaration or a stream it reads is missing. The index buffer is
  // part of the array when one is set. bgra: the context reads GL_BGRA
  // attributes (GlCaps::bgra).
  bool Bind(const DeviceState& state, GlStateCache& cache, bool bgra, INT baseVertex);
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
    std::vector<GlslAttribute> inputs;  // the vertex shader's
    // The shader's list these inputs last matched, by address: a shader's
    // list is fixed while it lives, and Forget clears this on any release.
    const std::vector<GlslAttribute>* inputsSeen;
    GLuint name;
    INT baseVertex;
  };
  // `vs`: where the vertex shader takes its inputs (null: none fed).
  VertexArray* Make(const VertexArray& key, const GlslShader* vs, bool bgra, GlStateCache& cache);

  std::vector<std::unique_ptr<VertexArray>> m_arrays;
  VertexArray* m_current = nullptr;
  bool m_dirty = true;
  INT m_baseVertex = 0;  // of m_current
};

}  // namespace ostrevin::d3d9
