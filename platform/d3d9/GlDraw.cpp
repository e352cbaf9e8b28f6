// Indexed draws: the program of the shader pair, the vertex
// array, the constants and the textures the shaders sample, then the draw.
#include <algorithm>
#include <cstdint>

#include "GlDevice.h"
#include "GlEnums.h"
#include "Shader.h"
#include "Texture.h"

namespace ostrevin::d3d9 {

HRESULT GlDevice::DrawIndexed(const DeviceState& state, GLenum mode, UINT indices, UINT indexBytes, UINT startIndex,
                              INT baseVertex) {
  GlProgram* program = m_programs.Current(state, m_cache);
  if (program == nullptr) return D3DERR_INVALIDCALL;  // no fixed-function pipeline
  if (!m_vertexArrays.Bind(state, m_cache)) return D3DERR_INVALIDCALL;
  GlProgramCache::UploadConstants(*program, state);
  BindTextures(state, *program);
  gl::DrawElementsBaseVertex(mode, static_cast<GLsizei>(indices), indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexBytes),
                             baseVertex);
  return D3D_OK;
}

void GlDevice::BindTextures(const DeviceState& state, const GlProgram& program) {
  for (int stage = 0; stage < 2; ++stage) {
    const GlslShader& glsl = stage == 0 ? program.vs->Glsl() : program.ps->Glsl();
    for (const GlslSampler& s : glsl.samplers) {
      if (s.samplerIndex >= DeviceState::kSamplers) continue;
      const Texture* texture = static_cast<const Texture*>(state.textures[s.samplerIndex].get());
      m_cache.BindTexture(s.samplerIndex, texture != nullptr ? texture->Name() : 0);
    }
  }
}

}  // namespace ostrevin::d3d9
