// Clears, and the scissor rectangle they share the GL scissor box with.
#include <algorithm>

#include "GlDevice.h"
#include "GlEnums.h"

namespace ostrevin::d3d9 {

namespace {
struct Box {
  LONG x0, y0, x1, y1;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  Box Intersect(LONG ox0, LONG oy0, LONG ox1, LONG oy1) const {
    return {std::max(x0, ox0), std::max(y0, oy0), std::min(x1, ox1), std::min(y1, oy1)};
  }
};
}  // namespace

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
    const float depth = std::min(1.0f, std::max(0.0f, z));
    if (m_caps.es) gl::ClearDepthf(depth);
    else gl::ClearDepth(depth);
    gl::DepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    gl::ClearStencil(static_cast<GLint>(stencil & 0xff));
    gl::StencilMask(0xff);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  // Clear covers the viewport, within the scissor rectangle when the test
  // is on, intersected with each rectangle when rectangles are given.
  const D3DVIEWPORT9& vp = state.viewport;
  const LONG width = static_cast<LONG>(m_backBuffer.width), height = static_cast<LONG>(m_backBuffer.height);
  Box area{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
           static_cast<LONG>(vp.Y + vp.Height)};
  if (state.renderStates[D3DRS_SCISSORTESTENABLE]) {
    const RECT& s = state.scissorRect;
    area = area.Intersect(s.left, s.top, s.right, s.bottom);
  }
  if (rects == nullptr && area.x0 == 0 && area.y0 == 0 && area.x1 == width && area.y1 == height) {
    gl::Disable(GL_SCISSOR_TEST);
    gl::Clear(mask);
  } else {
    gl::Enable(GL_SCISSOR_TEST);
    const DWORD n = rects == nullptr ? 1 : count;
    for (DWORD i = 0; i < n; ++i) {
      const Box box = rects == nullptr ? area : area.Intersect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
      if (box.Empty()) continue;
      gl::Scissor(box.x0, height - box.y1, box.x1 - box.x0, box.y1 - box.y0);
      gl::Clear(mask);
    }
  }
  // Restore the masks and the scissor state the Direct3D state asks for.
  if (flags & D3DCLEAR_TARGET) ApplyRenderState(state, D3DRS_COLORWRITEENABLE);
  if (flags & D3DCLEAR_ZBUFFER) ApplyRenderState(state, D3DRS_ZWRITEENABLE);
  if (flags & D3DCLEAR_STENCIL) ApplyRenderState(state, D3DRS_STENCILWRITEMASK);
  ApplyScissorRect(state);
  ApplyRenderState(state, D3DRS_SCISSORTESTENABLE);
}

void GlDevice::ApplyScissorRect(const DeviceState& state) {
  // Clamped to the back buffer; an empty rectangle passes nothing.
  const LONG width = static_cast<LONG>(m_backBuffer.width), height = static_cast<LONG>(m_backBuffer.height);
  const RECT& s = state.scissorRect;
  Box box = Box{s.left, s.top, s.right, s.bottom}.Intersect(0, 0, width, height);
  if (box.Empty()) box = {0, 0, 0, 0};
  gl::Scissor(box.x0, height - box.y1, box.x1 - box.x0, box.y1 - box.y0);
}

}  // namespace ostrevin::d3d9
