#include "GlVertexInput.h"

#include <cstdint>

#include "Buffer.h"
#include "GlEnums.h"
#include "ShaderCode.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

bool GlVertexArrayCache::Bind(const DeviceState& state, GlStateCache& cache) {
  if (!m_dirty) return m_current != nullptr;
  m_dirty = false;
  VertexArray* found = nullptr;
  if (state.decl != nullptr && state.stream != nullptr && state.indices != nullptr && state.streamStride != 0) {
    for (auto& va : m_arrays) {
      if (va->decl == state.decl && va->vb == state.stream && va->offset == state.streamOffset &&
          va->stride == state.streamStride && va->ib == state.indices) {
        found = va.get();
        break;
      }
    }
    if (found == nullptr) found = Make(state, cache);
  }
  cache.BindVertexArray(found != nullptr ? found->name : 0);
  m_current = found;
  return found != nullptr;
}

GlVertexArrayCache::VertexArray* GlVertexArrayCache::Make(const DeviceState& state, GlStateCache& cache) {
  auto va = std::make_unique<VertexArray>(
      VertexArray{state.decl, state.stream, state.streamOffset, state.streamStride, state.indices, 0});
  gl::GenVertexArrays(1, &va->name);
  cache.BindVertexArray(va->name);
  gl::BindBuffer(GL_ARRAY_BUFFER, state.stream->Name());
  gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, state.indices->Name());
  for (const D3DVERTEXELEMENT9& e : state.decl->Elements()) {
    if (e.Stream != 0) continue;
    const int location = VertexAttributeLocation(e.Usage, e.UsageIndex);
    if (location < 0 || location >= static_cast<int>(kMaxAttributes)) continue;
    GlAttribFormat format;
    if (!GlVertexFormat(e.Type, &format)) continue;
    gl::EnableVertexAttribArray(static_cast<GLuint>(location));
    gl::VertexAttribPointer(static_cast<GLuint>(location), format.size, format.type, format.normalized,
                            static_cast<GLsizei>(state.streamStride),
                            reinterpret_cast<const void*>(static_cast<uintptr_t>(state.streamOffset + e.Offset)));
  }
  m_arrays.push_back(std::move(va));
  return m_arrays.back().get();
}

void GlVertexArrayCache::Forget(const Resource* resource, bool contextAlive, GlStateCache& cache) {
  for (size_t i = 0; i < m_arrays.size();) {
    VertexArray& va = *m_arrays[i];
    if (static_cast<const Resource*>(va.decl) == resource || static_cast<const Resource*>(va.vb) == resource ||
        static_cast<const Resource*>(va.ib) == resource) {
      if (m_current == &va) {
        m_current = nullptr;
        m_dirty = true;
      }
      cache.ForgetVertexArray(va.name);
      if (contextAlive) gl::DeleteVertexArrays(1, &va.name);
      m_arrays.erase(m_arrays.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void GlVertexArrayCache::DestroyAll() {
  for (auto& va : m_arrays) gl::DeleteVertexArrays(1, &va->name);
  m_arrays.clear();
  m_current = nullptr;
  m_dirty = true;
}

}  // namespace ostrevin::d3d9
