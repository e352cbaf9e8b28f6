// Render states, sampler states and the viewport, realised in GL: each
// state as its row in the state tables (StateTable.h) says. The states the
// programmable pipeline reads have a GL side (alpha test, flat shading and
// sRGB reads and writes choose the program, see GlProgram); fixed-function
// states (lighting, materials, texture factor, ...) are recorded only.
#include <algorithm>
#include <cstring>
#include <utility>

#include "GlDevice.h"
#include "GlEnums.h"
#include "GlStateCache.h"
#include "StateTable.h"

namespace ostrevin::d3d9 {

void GlDevice::ApplyAll(const DeviceState& state) {
  for (const RenderStateInfo& info : kRenderStateTable) ApplyRenderState(state, info.state);
  for (UINT i = 0; i < DeviceState::kSamplers; ++i) {
    for (const SamplerStateInfo& info : kSamplerStateTable) ApplySamplerState(state, i, info.state);
    m_cache->BindSampler(i, m_samplers[i]);
  }

  gl::FrontFace(GL_CW);
  if (m_caps.provokingVertex) gl::ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  if (m_caps.clipControl) gl::ClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  m_cache->BindFramebuffer(m_backBuffer.framebuffer);
  if (gl::DrawBuffer != nullptr) gl::DrawBuffer(GL_COLOR_ATTACHMENT0);  // ES: colour attachment 0 already
  gl::ReadBuffer(GL_COLOR_ATTACHMENT0);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
  ApplyViewport(state);

  m_programPointSize = -1;
  m_raisedBaseLevels.clear();  // a new context's textures start at level 0
  m_cache->BindVertexArray(0);
  m_cache->UseProgram(0);
  ShadersChanged();
  VertexInputChanged();
}

bool GlDevice::TakesRenderState(const DeviceState& state, D3DRENDERSTATETYPE which, DWORD value) const {
  const RenderStateInfo* info = FindRenderState(which);
  if (info == nullptr) return true;
  switch (info->realisedBy) {
    case RealisedBy::FillMode:
      return m_caps.polygonMode || value == D3DFILL_SOLID;
    case RealisedBy::Shading:
      return m_caps.provokingVertex || value != D3DSHADE_FLAT;  // ES's flat varyings take the last vertex
    case RealisedBy::PointSize: {
      if (m_caps.pointSize) return true;
      // Without glPointSize the size stays 1: the states may only keep it there.
      DWORD rs[3] = {state.renderStates[D3DRS_POINTSIZE], state.renderStates[D3DRS_POINTSIZE_MIN],
                     state.renderStates[D3DRS_POINTSIZE_MAX]};
      rs[which == D3DRS_POINTSIZE ? 0 : which == D3DRS_POINTSIZE_MIN ? 1 : 2] = value;
      float size, lo, hi;
      std::memcpy(&size, &rs[0], sizeof(size));
      std::memcpy(&lo, &rs[1], sizeof(lo));
      std::memcpy(&hi, &rs[2], sizeof(hi));
      return std::min(std::max(size, lo), hi) == 1.0f;
    }
    default:
      return true;
  }
}

bool GlDevice::TakesSamplerState(D3DSAMPLERSTATETYPE which, DWORD value) const {
  const SamplerStateInfo* info = FindSamplerState(which);
  if (info == nullptr) return true;
  switch (info->realisedBy) {
    case SamplerRealisedBy::AddressU:
    case SamplerRealisedBy::AddressV:
    case SamplerRealisedBy::AddressW:
      return m_caps.borderColour || value != D3DTADDRESS_BORDER;
    case SamplerRealisedBy::LodBias:
      return m_caps.lodBias || value == 0;
    default:
      return true;
  }
}

void GlDevice::ApplyRenderState(const DeviceState& state, D3DRENDERSTATETYPE which) {
  const RenderStateInfo* info = FindRenderState(which);
  if (info == nullptr) return;
  const DWORD* rs = state.renderStates;
  const DWORD value = rs[which];
  if (ChoosesProgram(info->realisedBy)) {
    ShadersChanged();  // a program of its own
    return;
  }
  switch (info->realisedBy) {
    case RealisedBy::DepthTest:
      (value != D3DZB_FALSE ? gl::Enable : gl::Disable)(GL_DEPTH_TEST);
      break;
    case RealisedBy::DepthFunction:
      gl::DepthFunc(GlCompareFunc(value));
      break;
    case RealisedBy::DepthWrite:
      gl::DepthMask(value ? GL_TRUE : GL_FALSE);
      break;
    case RealisedBy::Culling:
      if (value == D3DCULL_CW || value == D3DCULL_CCW) {
        gl::Enable(GL_CULL_FACE);
        gl::CullFace(value == D3DCULL_CW ? GL_FRONT : GL_BACK);  // the front face is clockwise
      } else {
        gl::Disable(GL_CULL_FACE);
      }
      break;
    case RealisedBy::FillMode:
      if (m_caps.polygonMode) gl::PolygonMode(GL_FRONT_AND_BACK, GlFillMode(value));  // else solid only (TakesRenderState)
      break;
    case RealisedBy::Blending:
      (value ? gl::Enable : gl::Disable)(GL_BLEND);
      break;
    case RealisedBy::BlendFunction:
      ApplyBlend(state);
      break;
    case RealisedBy::BlendColour: {
      float c[4];
      ColorToFloats(value, c);
      gl::BlendColor(c[0], c[1], c[2], c[3]);
      break;
    }
    case RealisedBy::StencilTest:
      (value ? gl::Enable : gl::Disable)(GL_STENCIL_TEST);
      break;
    case RealisedBy::Stencil:
      ApplyStencil(state);
      break;
    case RealisedBy::DepthBias: {
      float bias, slope;
      std::memcpy(&bias, &rs[D3DRS_DEPTHBIAS], sizeof(bias));
      std::memcpy(&slope, &rs[D3DRS_SLOPESCALEDEPTHBIAS], sizeof(slope));
      // Direct3D's bias is in depth units: 2^24 of the 24-bit buffer's steps.
      gl::PolygonOffset(slope, bias * 16777216.0f);
      for (GLenum mode : {GL_POLYGON_OFFSET_FILL, GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT}) {
        if (mode != GL_POLYGON_OFFSET_FILL && !m_caps.polygonOffsetLines) continue;  // lines and points refused (PrepareDraw)
        (bias != 0.0f || slope != 0.0f ? gl::Enable : gl::Disable)(mode);
      }
      break;
    }
    case RealisedBy::PointSize: {
      float size, lo, hi;
      std::memcpy(&size, &rs[D3DRS_POINTSIZE], sizeof(size));
      std::memcpy(&lo, &rs[D3DRS_POINTSIZE_MIN], sizeof(lo));
      std::memcpy(&hi, &rs[D3DRS_POINTSIZE_MAX], sizeof(hi));
      size = std::min(std::max(size, lo), hi);
      if (m_caps.pointSize) gl::PointSize(size > 0.0f ? size : 1.0f);  // else 1 only (TakesRenderState)
      break;
    }
    case RealisedBy::Dither:
      (value ? gl::Enable : gl::Disable)(GL_DITHER);
      break;
    case RealisedBy::ColourWrite:
      gl::ColorMask((value & 1) != 0, (value & 2) != 0, (value & 4) != 0, (value & 8) != 0);
      break;
    case RealisedBy::ScissorTest:
      (value ? gl::Enable : gl::Disable)(GL_SCISSOR_TEST);
      break;
    case RealisedBy::LastPixel:       // read by DrawLastPixels
    case RealisedBy::AlphaReference:  // a uniform of the alpha-test program, uploaded with the constants
    case RealisedBy::Recorded:
    default:
      break;
  }
}

void GlDevice::ApplyBlend(const DeviceState& state) {
  const DWORD* rs = state.renderStates;
  GLenum src, dst;
  GlBlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
  GLenum srcAlpha = src, dstAlpha = dst;
  GLenum op = GlBlendOp(rs[D3DRS_BLENDOP]), opAlpha = op;
  if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
    GlBlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcAlpha, &dstAlpha);
    opAlpha = GlBlendOp(rs[D3DRS_BLENDOPALPHA]);
  }
  gl::BlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
  gl::BlendEquationSeparate(op, opAlpha);
}

void GlDevice::ApplyStencil(const DeviceState& state) {
  // Clockwise faces are GL's front faces (see ApplyAll); the CCW_ states
  // serve the others in two-sided mode.
  const DWORD* rs = state.renderStates;
  const GLint ref = static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xff);
  const GLuint mask = rs[D3DRS_STENCILMASK];
  // FAIL, ZFAIL, PASS, FUNC run in the same order in both sets.
  for (const auto& [face, fail] :
       {std::pair<GLenum, UINT>{GL_FRONT, D3DRS_STENCILFAIL},
        {GL_BACK, rs[D3DRS_TWOSIDEDSTENCILMODE] ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL}}) {
    gl::StencilFuncSeparate(face, GlCompareFunc(rs[fail + 3]), ref, mask);
    gl::StencilOpSeparate(face, GlStencilOp(rs[fail]), GlStencilOp(rs[fail + 1]), GlStencilOp(rs[fail + 2]));
  }
  gl::StencilMask(rs[D3DRS_STENCILWRITEMASK]);
}

void GlDevice::ApplySamplerState(const DeviceState& state, DWORD sampler, D3DSAMPLERSTATETYPE which) {
  const SamplerStateInfo* info = FindSamplerState(which);
  if (info == nullptr) return;
  const DWORD* ss = state.samplerStates[sampler];
  const GLuint s = m_samplers[sampler];
  switch (info->realisedBy) {
    case SamplerRealisedBy::AddressU:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_S, GlAddressMode(ss[which]));
      break;
    case SamplerRealisedBy::AddressV:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_T, GlAddressMode(ss[which]));
      break;
    case SamplerRealisedBy::AddressW:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_R, GlAddressMode(ss[which]));
      break;
    case SamplerRealisedBy::BorderColour: {
      float color[4];
      ColorToFloats(ss[which], color);
      if (m_caps.borderColour) gl::SamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, color);
      break;
    }
    case SamplerRealisedBy::LodBias: {
      float bias;
      std::memcpy(&bias, &ss[which], sizeof(bias));
      if (m_caps.lodBias) gl::SamplerParameterf(s, GL_TEXTURE_LOD_BIAS, bias);  // else 0 only (TakesSamplerState)
      break;
    }
    case SamplerRealisedBy::SrgbTexture:
      ShadersChanged();  // decoded in the program's GLSL
      break;
    case SamplerRealisedBy::Filter: {
      const DWORD minF = ss[D3DSAMP_MINFILTER], mipF = ss[D3DSAMP_MIPFILTER];
      gl::SamplerParameteri(s, GL_TEXTURE_MIN_FILTER, GlMinFilter(minF, mipF));
      gl::SamplerParameteri(s, GL_TEXTURE_MAG_FILTER, GlMagFilter(ss[D3DSAMP_MAGFILTER]));
      if (m_caps.maxAnisotropy >= 1.0f) {
        // Anisotropy applies only with an anisotropic minification filter and
        // mip levels, at D3DSAMP_MAXANISOTROPY (default 1: plain linear).
        float aniso = 1.0f;
        if (minF == D3DTEXF_ANISOTROPIC && mipF != D3DTEXF_NONE)
          aniso = std::min(std::max(1.0f, static_cast<float>(ss[D3DSAMP_MAXANISOTROPY])), m_caps.maxAnisotropy);
        gl::SamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY, aniso);
      }
      break;
    }
    case SamplerRealisedBy::MaxMipLevel:  // the texture's base level, set by each draw
    case SamplerRealisedBy::Recorded:
    default:
      break;
  }
}

void GlDevice::ApplyViewport(const DeviceState& state) {
  const D3DVIEWPORT9& vp = state.viewport;
  gl::Viewport(static_cast<GLint>(vp.X),
               static_cast<GLint>(m_backBuffer.height) - static_cast<GLint>(vp.Y + vp.Height),
               static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
  if (m_caps.es) gl::DepthRangef(vp.MinZ, vp.MaxZ);
  else gl::DepthRange(vp.MinZ, vp.MaxZ);
}

}  // namespace ostrevin::d3d9
