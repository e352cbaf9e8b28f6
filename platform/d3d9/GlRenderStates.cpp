// Render states, sampler states and the viewport, realised in GL. Only the
// states the programmable pipeline reads have a GL side; fixed-function
// states (lighting, fog, shading, alpha test, ...) are recorded only.
#include <algorithm>
#include <cstring>

#include "GlDevice.h"
#include "GlEnums.h"

namespace ostrevin::d3d9 {

void GlDevice::ApplyAll(const DeviceState& state) {
  for (UINT s = 0; s < DeviceState::kRenderStates; ++s)
    if (IsRenderState(s)) ApplyRenderState(state, static_cast<D3DRENDERSTATETYPE>(s));
  for (UINT i = 0; i < DeviceState::kSamplers; ++i) {
    ApplySamplerState(state, i, D3DSAMP_MINFILTER);
    gl::BindSampler(i, m_samplers[i]);
  }

  gl::FrontFace(GL_CW);
  gl::ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  if (m_caps.clipControl) gl::ClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  gl::BindFramebuffer(GL_FRAMEBUFFER, m_backBuffer.framebuffer);
  gl::DrawBuffer(GL_COLOR_ATTACHMENT0);
  gl::ReadBuffer(GL_COLOR_ATTACHMENT0);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
  ApplyViewport(state);

  m_cache.BindVertexArray(0);
  m_cache.UseProgram(0);
  ShadersChanged();
  VertexInputChanged();
}

void GlDevice::ApplyRenderState(const DeviceState& state, D3DRENDERSTATETYPE which) {
  const DWORD* rs = state.renderStates;
  const DWORD value = rs[which];
  switch (which) {
    case D3DRS_ZENABLE:
      (value != D3DZB_FALSE ? gl::Enable : gl::Disable)(GL_DEPTH_TEST);
      break;
    case D3DRS_ZFUNC:
      gl::DepthFunc(GlCompareFunc(value));
      break;
    case D3DRS_ZWRITEENABLE:
      gl::DepthMask(value ? GL_TRUE : GL_FALSE);
      break;
    case D3DRS_CULLMODE:
      if (value == D3DCULL_CW || value == D3DCULL_CCW) {
        gl::Enable(GL_CULL_FACE);
        gl::CullFace(value == D3DCULL_CW ? GL_FRONT : GL_BACK);  // the front face is clockwise
      } else {
        gl::Disable(GL_CULL_FACE);
      }
      break;
    case D3DRS_FILLMODE:
      gl::PolygonMode(GL_FRONT_AND_BACK, GlFillMode(value));
      break;
    case D3DRS_ALPHABLENDENABLE:
      (value ? gl::Enable : gl::Disable)(GL_BLEND);
      break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
      gl::BlendFunc(GlBlendFactor(rs[D3DRS_SRCBLEND]), GlBlendFactor(rs[D3DRS_DESTBLEND]));
      break;
    case D3DRS_BLENDOP:
      gl::BlendEquation(GlBlendOp(value));
      break;
    case D3DRS_COLORWRITEENABLE:
      gl::ColorMask((value & 1) != 0, (value & 2) != 0, (value & 4) != 0, (value & 8) != 0);
      break;
    case D3DRS_STENCILENABLE:
      (value ? gl::Enable : gl::Disable)(GL_STENCIL_TEST);
      break;
    case D3DRS_SCISSORTESTENABLE:
      (value ? gl::Enable : gl::Disable)(GL_SCISSOR_TEST);
      break;
    default:
      break;
  }
}

void GlDevice::ApplySamplerState(const DeviceState& state, DWORD sampler, D3DSAMPLERSTATETYPE which) {
  const DWORD* ss = state.samplerStates[sampler];
  const GLuint s = m_samplers[sampler];
  switch (which) {
    case D3DSAMP_ADDRESSU:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_S, GlAddressMode(ss[D3DSAMP_ADDRESSU]));
      break;
    case D3DSAMP_ADDRESSV:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_T, GlAddressMode(ss[D3DSAMP_ADDRESSV]));
      break;
    case D3DSAMP_ADDRESSW:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_R, GlAddressMode(ss[D3DSAMP_ADDRESSW]));
      break;
    case D3DSAMP_BORDERCOLOR: {
      float color[4];
      ColorToFloats(ss[D3DSAMP_BORDERCOLOR], color);
      gl::SamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, color);
      break;
    }
    case D3DSAMP_MIPMAPLODBIAS: {
      float bias;
      std::memcpy(&bias, &ss[D3DSAMP_MIPMAPLODBIAS], sizeof(bias));
      gl::SamplerParameterf(s, GL_TEXTURE_LOD_BIAS, bias);
      break;
    }
    case D3DSAMP_MAXMIPLEVEL:
      gl::SamplerParameterf(s, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
      break;
    case D3DSAMP_MAGFILTER:
    case D3DSAMP_MINFILTER:
    case D3DSAMP_MIPFILTER:
    case D3DSAMP_MAXANISOTROPY: {
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
    default:
      break;
  }
}

void GlDevice::ApplyViewport(const DeviceState& state) {
  const D3DVIEWPORT9& vp = state.viewport;
  gl::Viewport(static_cast<GLint>(vp.X),
               static_cast<GLint>(m_backBuffer.height) - static_cast<GLint>(vp.Y + vp.Height),
               static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
  gl::DepthRange(vp.MinZ, vp.MaxZ);
}

}  // namespace ostrevin::d3d9
