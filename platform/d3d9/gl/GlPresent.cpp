// The back buffer: an offscreen framebuffer of exactly the present
// parameters' size, which Present scales to the window's current drawable.
#include <cstdio>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "GlDevice.h"
#include "GlStateCache.h"

namespace ostrevin::d3d9 {

#ifdef __EMSCRIPTEN__
namespace {
// In a web page the program's loop runs inside one call from the browser
// (ASYNCIFY): each presented frame returns to the browser until its next
// animation frame, which shows the canvas and paces the loop at the
// display's rate while the page stays responsive.
EM_ASYNC_JS(void, WaitForAnimationFrame, (), {
  await new Promise(function(resolve) { requestAnimationFrame(function() { resolve(); }); });
});
}  // namespace
#endif

HRESULT GlDevice::CreateBackBuffer(UINT width, UINT height, D3DFORMAT depthFormat) {
  GlBackBuffer& bb = m_backBuffer;
  bb.width = width;
  bb.height = height;
  bb.depth = depthFormat != D3DFMT_UNKNOWN;
  bb.stencil = depthFormat == D3DFMT_D24S8;
  gl::GenRenderbuffers(1, &bb.color);
  m_cache->BindRenderbuffer(bb.color);
  gl::RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  gl::GenFramebuffers(1, &bb.framebuffer);
  m_cache->BindFramebuffer(bb.framebuffer);
  gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, bb.color);
  if (bb.depth) {
    const GLenum internal = bb.stencil                      ? GL_DEPTH24_STENCIL8
                            : depthFormat == D3DFMT_D24X8 ? GL_DEPTH_COMPONENT24
                                                          : GL_DEPTH_COMPONENT16;
    gl::GenRenderbuffers(1, &bb.depthStencil);
    m_cache->BindRenderbuffer(bb.depthStencil);
    gl::RenderbufferStorage(GL_RENDERBUFFER, internal, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, bb.stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                GL_RENDERBUFFER, bb.depthStencil);
  }
  if (gl::CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::fprintf(stderr, "ostrevin: back buffer framebuffer incomplete\n");
    return D3DERR_NOTAVAILABLE;
  }
  return D3D_OK;
}

void GlDevice::DestroyBackBuffer() {
  GlBackBuffer& bb = m_backBuffer;
  m_cache->ForgetFramebuffer(bb.framebuffer);
  m_cache->ForgetRenderbuffer(bb.color);
  m_cache->ForgetRenderbuffer(bb.depthStencil);
  if (bb.framebuffer != 0) gl::DeleteFramebuffers(1, &bb.framebuffer);
  if (bb.color != 0) gl::DeleteRenderbuffers(1, &bb.color);
  if (bb.depthStencil != 0) gl::DeleteRenderbuffers(1, &bb.depthStencil);
  bb.framebuffer = bb.color = bb.depthStencil = 0;
}

void GlDevice::Present(const RECT* sourceRect, const RECT* destRect) {
  const GLint height = static_cast<GLint>(m_backBuffer.height);
  int drawableW = 0, drawableH = 0;
  SDL_GL_GetDrawableSize(m_window, &drawableW, &drawableH);
  GLint sx0 = 0, sy0 = 0, sx1 = static_cast<GLint>(m_backBuffer.width), sy1 = height;
  if (sourceRect != nullptr) {
    sx0 = sourceRect->left;
    sx1 = sourceRect->right;
    sy0 = height - sourceRect->bottom;
    sy1 = height - sourceRect->top;
  }
  GLint dx0 = 0, dy0 = 0, dx1 = drawableW, dy1 = drawableH;
  if (destRect != nullptr) {
    dx0 = destRect->left;
    dx1 = destRect->right;
    dy0 = drawableH - destRect->bottom;
    dy1 = drawableH - destRect->top;
  }
  const bool scaled = (sx1 - sx0) != (dx1 - dx0) || (sy1 - sy0) != (dy1 - dy0);
  m_cache->BindDrawFramebuffer(0);
  gl::BlitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST);
  SDL_GL_SwapWindow(m_window);
  gl::Flush();
#ifdef __EMSCRIPTEN__
  WaitForAnimationFrame();
#endif
  m_cache->BindDrawFramebuffer(m_backBuffer.framebuffer);
}

}  // namespace ostrevin::d3d9
