// Clears and indexed draws: the program of the shader pair, the vertex
// array, the constants and the textures the shaders sample, then the draw.
#include <algorithm>
#include <cstdint>

#include "GlDevice.h"
#include "GlEnums.h"
#include "Shader.h"
#include "Texture.h"

namespace ostrevin::d3d9 {

void GlDevice::Clear(const DeviceState& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                     float z, DWORD stencil) {
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    ColorToFloats(color, c);
    gl::ClearColor(c[0], c[1], c[2], c[3]);
    gl::ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    gl::ClearDepth(std::min(1.0f, std::max(0.0f, z)));
    gl::DepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    gl::ClearStencil(static_cast<GLint>(stencil & 0xff));
    gl::StencilMask(0xff);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // Clear covers the viewport, intersected with each rectangle when given.
  const D3DVIEWPORT9& vp = state.viewport;
  const LONG height = static_cast<LONG>(m_backBuffer.height);
  const LONG vx0 = static_cast<LONG>(vp.X), vy0 = static_cast<LONG>(vp.Y);
  const LONG vx1 = vx0 + static_cast<LONG>(vp.Width), vy1 = vy0 + static_cast<LONG>(vp.Height);
  const bool full =
      count == 0 && vx0 == 0 && vy0 == 0 && vx1 == static_cast<LONG>(m_backBuffer.width) && vy1 == height;
  if (full) {
    gl::Disable(GL_SCISSOR_TEST);
    gl::Clear(mask);
  } else {
    gl::Enable(GL_SCISSOR_TEST);
    const DWORD n = count == 0 ? 1 : count;
    for (DWORD i = 0; i < n; ++i) {
      LONG x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
      if (count != 0) {
        x0 = std::max(x0, rects[i].x1);
        y0 = std::max(y0, rects[i].y1);
        x1 = std::min(x1, rects[i].x2);
        y1 = std::min(y1, rects[i].y2);
      }
      if (x1 <= x0 || y1 <= y0) continue;
      gl::Scissor(x0, height - y1, x1 - x0, y1 - y0);
      gl::Clear(mask);
    }
  }
  // Restore the masks and scissor test the render states ask for.
  if (flags & D3DCLEAR_TARGET) ApplyRenderState(state, D3DRS_COLORWRITEENABLE);
  if (flags & D3DCLEAR_ZBUFFER) ApplyRenderState(state, D3DRS_ZWRITEENABLE);
  ApplyRenderState(state, D3DRS_SCISSORTESTENABLE);
}

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
      const Texture* texture = static_cast<const Texture*>(state.textures[s.samplerIndex]);
      m_cache.BindTexture(s.samplerIndex, texture != nullptr ? texture->Name() : 0);
    }
  }
}

}  // namespace ostrevin::d3d9
