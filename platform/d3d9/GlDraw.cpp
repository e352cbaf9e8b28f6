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
  if (flags & D3DCLEAR_STENCIL) ApplyRenderState(state, D3DRS_STENCILWRITEMASK);
  ApplyRenderState(state, D3DRS_SCISSORTESTENABLE);
}

bool GlDevice::PrepareDraw(const DeviceState& state) {
  GlProgram* program = m_programs.Current(state, m_cache);
  if (program == nullptr) return false;  // no fixed-function pipeline
  if (!m_vertexArrays.Bind(state, m_cache)) return false;
  GlProgramCache::UploadConstants(*program, state);
  BindTextures(state, *program);
  const int pointSize = program->writesPointSize ? 1 : 0;
  if (pointSize != m_programPointSize) {
    (pointSize ? gl::Enable : gl::Disable)(GL_PROGRAM_POINT_SIZE);
    m_programPointSize = pointSize;
  }
  return true;
}

HRESULT GlDevice::DrawIndexed(const DeviceState& state, GLenum mode, UINT indices, UINT indexBytes, UINT startIndex,
                              INT baseVertex) {
  if (!PrepareDraw(state)) return D3DERR_INVALIDCALL;
  gl::DrawElementsBaseVertex(mode, static_cast<GLsizei>(indices), indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexBytes),
                             baseVertex);
  return D3D_OK;
}

HRESULT GlDevice::Draw(const DeviceState& state, GLenum mode, UINT startVertex, UINT vertices) {
  if (!PrepareDraw(state)) return D3DERR_INVALIDCALL;
  gl::DrawArrays(mode, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
  return D3D_OK;
}

void GlDevice::BindTextures(const DeviceState& state, const GlProgram& program) {
  for (int stage = 0; stage < 2; ++stage) {
    const GlslShader& glsl = stage == 0 ? program.vs->Glsl() : program.ps->Glsl();
    for (const GlslSampler& s : glsl.samplers) {
      if (s.samplerIndex >= DeviceState::kSamplers) continue;
      Texture* texture = static_cast<Texture*>(state.textures[s.samplerIndex]);
      const GLuint name = texture != nullptr ? texture->Name() : 0;
      m_cache.BindTexture(s.samplerIndex, name);
      if (name == 0) continue;
      // D3DSAMP_MAXMIPLEVEL picks the largest level used, as the texture's
      // base level, so that magnification still uses the magnification
      // filter (a minimum LOD would make it minification); without mip
      // filtering Direct3D samples level 0.
      const DWORD* ss = state.samplerStates[s.samplerIndex];
      const DWORD levels = texture->GetLevelCount();
      const GLint base = ss[D3DSAMP_MIPFILTER] == D3DTEXF_NONE
                             ? 0
                             : static_cast<GLint>(std::min<DWORD>(ss[D3DSAMP_MAXMIPLEVEL], levels - 1));
      // Level 0 is every texture's own; others are set at each bind (a GL
      // name may come back for a new texture) and remembered for the reset.
      auto it = std::find(m_raisedBaseLevels.begin(), m_raisedBaseLevels.end(), name);
      if (base == 0 && it == m_raisedBaseLevels.end()) continue;
      m_cache.BindTextureForUpload(name);
      gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, base);
      if (base == 0) m_raisedBaseLevels.erase(it);
      else if (it == m_raisedBaseLevels.end()) m_raisedBaseLevels.push_back(name);
    }
  }
}

}  // namespace ostrevin::d3d9
