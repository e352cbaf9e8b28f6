#include "GlVertexInput.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "GlBuffer.h"
#include "GlDevice.h"
#include "GlEnums.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

namespace {
bool SameInputs(const std::vector<GlslAttribute>& a, const std::vector<GlslAttribute>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const GlslAttribute& x, const GlslAttribute& y) {
    return x.usage == y.usage && x.usageIndex == y.usageIndex && x.location == y.location;
  });
}
}  // namespace

bool GlVertexArrayCache::Bind(const DeviceState& state, GlStateCache& cache, bool bgra, INT baseVertex) {
  if (!m_dirty && baseVertex == m_baseVertex) return m_current != nullptr;
  m_dirty = false;
  m_baseVertex = baseVertex;
  VertexArray* found = nullptr;
  static const std::vector<GlslAttribute> kNoInputs;
  const std::vector<GlslAttribute>& inputs = state.vs != nullptr ? GlslOf(*state.vs).attributes : kNoInputs;
  if (state.decl != nullptr) {
    // The streams the declaration reads, each once, are compared (an array
    // is made only with every one of them set); the array keeps the others
    // zero.
    const std::vector<VertexStreamReach>& read = ReachesOf(*state.decl);
    for (auto& va : m_arrays) {
      if (va->decl != state.decl || va->ib != state.indices || va->baseVertex != baseVertex) continue;
      bool same = true;
      for (const VertexStreamReach& r : read) {
        const StreamKey& k = va->streams[r.stream];
        const DeviceState::Stream& s = state.streams[r.stream];
        if (k.buffer != s.buffer || k.offset != s.offset || k.stride != s.stride) {
          same = false;
          break;
        }
      }
      // The inputs last matched are the shader's own list: no compare then.
      if (same && (va->inputsSeen == &inputs || SameInputs(va->inputs, inputs))) {
        va->inputsSeen = &inputs;
        found = va.get();
        break;
      }
    }
    bool complete = true;
    if (found == nullptr) {
      // Every stream read set, and no element of them reaching before its
      // stream's start through a negative base vertex (no attribute offset).
      for (const D3DVERTEXELEMENT9& e : ElementsOf(*state.decl)) {
        const DeviceState::Stream& stream = state.streams[e.Stream];
        if (stream.buffer == nullptr) complete = false;
        if (static_cast<int64_t>(stream.offset) + e.Offset + static_cast<int64_t>(baseVertex) * stream.stride < 0)
          complete = false;
      }
    }
    if (found == nullptr && complete) {
      VertexArray key{state.decl, {}, state.indices, inputs, &inputs, 0, baseVertex};
      for (const VertexStreamReach& r : read) {
        const DeviceState::Stream& stream = state.streams[r.stream];
        key.streams[r.stream] = {stream.buffer.get(), stream.offset, stream.stride};
      }
      found = Make(key, state.vs != nullptr ? &GlslOf(*state.vs) : nullptr, bgra, cache);
    }
  }
  cache.BindVertexArray(found != nullptr ? found->name : 0);
  m_current = found;
  return found != nullptr;
}

GlVertexArrayCache::VertexArray* GlVertexArrayCache::Make(const VertexArray& key, const GlslShader* vs, bool bgra,
                                                        GlStateCache& cache) {
  auto va = std::make_unique<VertexArray>(key);
  gl::GenVertexArrays(1, &va->name);
  cache.BindVertexArray(va->name);
  cache.BindElementBuffer(key.ib != nullptr ? GlOf(*key.ib).Name() : 0);
  for (const D3DVERTEXELEMENT9& e : ElementsOf(*key.decl)) {
    const int location = vs != nullptr ? GlslAttributeLocation(*vs, e.Usage, e.UsageIndex) : -1;
    GlAttribFormat format;
    if (location < 0 || location >= static_cast<int>(kMaxAttributes) || !GlVertexFormat(e.Type, bgra, &format)) continue;
    const StreamKey& stream = key.streams[e.Stream];
    const GLuint index = static_cast<GLuint>(location);
    cache.BindArrayBuffer(GlOf(*stream.buffer).Name());
    gl::EnableVertexAttribArray(index);
    const intptr_t start = static_cast<intptr_t>(stream.offset) + e.Offset +
                           static_cast<intptr_t>(key.baseVertex) * static_cast<intptr_t>(stream.stride);
    gl::VertexAttribPointer(index, format.size, format.type, format.normalized, static_cast<GLsizei>(stream.stride),
                            reinterpret_cast<const void*>(start));
    // Stride 0 feeds every vertex the same element: as an instanced
    // attribute, which a draw of one instance reads at element 0.
    gl::VertexAttribDivisor(index, stream.stride == 0 ? 1 : 0);
  }
  m_arrays.push_back(std::move(va));
  return m_arrays.back().get();
}

bool GlDevice::FeedsVertexType(BYTE d3ddecltype) const {
  GlAttribFormat format;
  return GlVertexFormat(d3ddecltype, m_caps.bgra, &format);
}

void GlVertexArrayCache::Forget(const Resource* resource, bool contextAlive, GlStateCache& cache) {
  for (size_t i = 0; i < m_arrays.size();) {
    VertexArray& va = *m_arrays[i];
    // The resource may be a vertex shader: its input list's address may be
    // another's next, so every array compares the inputs again.
    va.inputsSeen = nullptr;
    bool uses = AsResource(va.decl) == resource || (va.ib != nullptr && AsResource(va.ib) == resource);
    for (const StreamKey& stream : va.streams)
      uses = uses || (stream.buffer != nullptr && AsResource(stream.buffer) == resource);
    if (uses) {
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
