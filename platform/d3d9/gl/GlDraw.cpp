// Indexed draws: the program of the shader pair, the vertex
// array, the constants and the textures the shaders sample, then the draw.
#include <algorithm>
#include <cstdint>

#include "GlDevice.h"
#include "GlEnums.h"
#include "GlProgram.h"
#include "GlStateCache.h"
#include "GlTexture.h"
#include "GlVertexInput.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

bool GlDevice::PrepareDraw(const DeviceState& state, D3DPRIMITIVETYPE type, INT baseVertex) {
  // Without GL_POLYGON_OFFSET_LINE and _POINT, depth bias reaches triangles only.
  if (!m_caps.polygonOffsetLines && type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP &&
      type != D3DPT_TRIANGLEFAN && (state.renderStates[D3DRS_DEPTHBIAS] != 0 || state.renderStates[D3DRS_SLOPESCALEDEPTHBIAS] != 0))
    return false;
  GlProgram* program = m_programs->Current(state, *m_cache, !m_caps.bgra);
  if (program == nullptr) return false;  // no fixed-function pipeline
  if (!m_vertexArrays->Bind(state, *m_cache, m_caps.bgra, baseVertex)) return false;
  GlProgramCache::UploadConstants(*program, state);
  BindTextures(state, *program);
  const int pointSize = program->writesPointSize ? 1 : 0;
  if (pointSize != m_programPointSize && m_caps.pointSize) {  // ES: always from the shader
    (pointSize ? gl::Enable : gl::Disable)(GL_PROGRAM_POINT_SIZE);
    m_programPointSize = pointSize;
  }
  return true;
}

HRESULT GlDevice::DrawIndexed(const DeviceState& state, D3DPRIMITIVETYPE type, UINT indices, UINT indexBytes,
                              UINT startIndex, INT baseVertex) {
  // Without glDrawElementsBaseVertex the vertex array itself starts at the
  // base vertex (GlVertexArrayCache::Bind).
  if (!PrepareDraw(state, type, m_caps.baseVertex ? 0 : baseVertex)) return D3DERR_INVALIDCALL;
  const GLenum indexType = indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexBytes);
  if (m_caps.baseVertex)
    gl::DrawElementsBaseVertex(GlPrimitiveMode(type), static_cast<GLsizei>(indices), indexType, offset, baseVertex);
  else
    gl::DrawElements(GlPrimitiveMode(type), static_cast<GLsizei>(indices), indexType, offset);
  DrawLastPixels(state, type, startIndex, indices, indexBytes, baseVertex);
  return D3D_OK;
}

HRESULT GlDevice::Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT startVertex, UINT vertices) {
  if (!PrepareDraw(state, type, 0)) return D3DERR_INVALIDCALL;
  gl::DrawArrays(GlPrimitiveMode(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertices));
  DrawLastPixels(state, type, startVertex, vertices, 0, 0);
  return D3D_OK;
}

void GlDevice::DrawLastPixels(const DeviceState& state, D3DPRIMITIVETYPE type, UINT first, UINT count,
                              UINT indexBytes, INT baseVertex) {
  if ((type != D3DPT_LINELIST && type != D3DPT_LINESTRIP) || !state.renderStates[D3DRS_LASTPIXEL]) return;
  // A strip ends once, at its last vertex; a list at every second vertex.
  const bool strip = type == D3DPT_LINESTRIP;
  const UINT points = strip ? 1 : count / 2;
  const UINT step = strip ? 0 : 2;
  const UINT last = strip ? first + count - 1 : first + 1;
  if (m_pointFirsts.size() < points) {
    m_pointFirsts.resize(points);
    m_pointCounts.resize(points, 1);
    m_pointOffsets.resize(points);
    m_pointBaseVertices.resize(points);
  }
  for (UINT i = 0; i < points; ++i) {
    const UINT at = last + i * step;
    m_pointFirsts[i] = static_cast<GLint>(at);
    m_pointOffsets[i] = reinterpret_cast<const void*>(static_cast<uintptr_t>(at) * indexBytes);
    m_pointBaseVertices[i] = baseVertex;
  }
  // One pixel whatever the point size states or the shader's PSIZE say.
  if (m_programPointSize == 1) gl::Disable(GL_PROGRAM_POINT_SIZE);
  if (m_caps.pointSize) gl::PointSize(1.0f);
  if (gl::MultiDrawArrays == nullptr) {
    // ES: one draw per point (a shader writing PSIZE keeps its size there).
    const GLenum indexType = indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    for (UINT i = 0; i < points; ++i) {
      if (indexBytes == 0) gl::DrawArrays(GL_POINTS, m_pointFirsts[i], 1);
      else gl::DrawElements(GL_POINTS, 1, indexType, m_pointOffsets[i]);
    }
  } else if (indexBytes == 0) {
    gl::MultiDrawArrays(GL_POINTS, m_pointFirsts.data(), m_pointCounts.data(), static_cast<GLsizei>(points));
  } else {
    gl::MultiDrawElementsBaseVertex(GL_POINTS, m_pointCounts.data(), indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                    m_pointOffsets.data(), static_cast<GLsizei>(points), m_pointBaseVertices.data());
  }
  if (m_programPointSize == 1 && m_caps.pointSize) gl::Enable(GL_PROGRAM_POINT_SIZE);
  ApplyRenderState(state, D3DRS_POINTSIZE);
}

void GlDevice::BindTextures(const DeviceState& state, const GlProgram& program) {
  for (int stage = 0; stage < 2; ++stage) {
    const GlslShader& glsl = stage == 0 ? GlslOf(*program.vs) : GlslOf(*program.ps);
    for (const GlslSampler& s : glsl.samplers) {
      if (s.samplerIndex >= DeviceState::kSamplers) continue;
      const GlTexture* texture = GlOf(state.textures[s.samplerIndex].get());
      const GLuint name = texture != nullptr ? texture->Name() : 0;
      m_cache->BindTexture(s.samplerIndex, name);
      if (name == 0) continue;
      // D3DSAMP_MAXMIPLEVEL picks the largest level used, as the texture's
      // base level, so that magnification still uses the magnification
      // filter (a minimum LOD would make it minification); without mip
      // filtering Direct3D samples level 0.
      const DWORD* ss = state.samplerStates[s.samplerIndex];
      const DWORD levels = texture->LevelCount();
      const GLint base = ss[D3DSAMP_MIPFILTER] == D3DTEXF_NONE
                             ? 0
                             : static_cast<GLint>(std::min<DWORD>(ss[D3DSAMP_MAXMIPLEVEL], levels - 1));
      // Level 0 is every texture's own; others are set at each bind (a GL
      // name may come back for a new texture) and remembered for the reset.
      auto it = std::find(m_raisedBaseLevels.begin(), m_raisedBaseLevels.end(), name);
      if (base == 0 && it == m_raisedBaseLevels.end()) continue;
      m_cache->BindTextureForUpload(name);
      gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, base);
      if (base == 0) m_raisedBaseLevels.erase(it);
      else if (it == m_raisedBaseLevels.end()) m_raisedBaseLevels.push_back(name);
    }
  }
}

}  // namespace ostrevin::d3d9
