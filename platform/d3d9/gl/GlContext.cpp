// The GL context of a device: creation with robustness when offered, the
// entry points, the capabilities the device uses, and its destruction.
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "GlDevice.h"
#include "GlProgram.h"
#include "GlStateCache.h"
#include "GlVertexInput.h"

namespace ostrevin::d3d9 {

// The header keeps GL's types out of the front's sight.
static_assert(std::is_same_v<GLuint, unsigned> && std::is_same_v<GLint, int> && std::is_same_v<GLsizei, int>);

GlDevice::GlDevice(SDL_Window* window)
    : m_window(window),
      m_cache(std::make_unique<GlStateCache>()),
      m_programs(std::make_unique<GlProgramCache>()),
      m_vertexArrays(std::make_unique<GlVertexArrayCache>()) {}

GlDevice::~GlDevice() = default;

namespace {
// The context the device asks for: OpenGL 3.3 core on the desktop; in a web
// page, OpenGL ES 3.0, which SDL makes a WebGL2 context.
#ifdef __EMSCRIPTEN__
constexpr bool kEs = true;
constexpr int kMinorVersion = 0;
constexpr const char* kContextName = "OpenGL ES 3.0 (WebGL2)";
#else
constexpr bool kEs = false;
constexpr int kMinorVersion = 3;
constexpr const char* kContextName = "OpenGL 3.3 core";
#endif
}  // namespace

HRESULT GlDevice::CreateContext(int swapInterval) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, kEs ? SDL_GL_CONTEXT_PROFILE_ES : SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kMinorVersion);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
  m_context = SDL_GL_CreateContext(m_window);
  m_caps = GlCaps();
  bool robust = m_context != nullptr;
  if (m_context == nullptr) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
    m_context = SDL_GL_CreateContext(m_window);
  }
  if (m_context == nullptr) {
    std::fprintf(stderr, "ostrevin: no %s context: %s\n", kContextName, SDL_GetError());
    return D3DERR_NOTAVAILABLE;
  }
  SDL_GL_MakeCurrent(m_window, m_context);
  const char* missing = nullptr;
  if (!gl::Load(kEs, &missing)) {
    std::fprintf(stderr, "ostrevin: OpenGL entry point %s missing\n", missing);
    SDL_GL_DeleteContext(m_context);
    m_context = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  GLint major = 0, minor = 0;
  gl::GetIntegerv(GL_MAJOR_VERSION, &major);
  gl::GetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 30 + kMinorVersion) {
    std::fprintf(stderr, "ostrevin: OpenGL %d.%d is older than 3.%d\n", major, minor, kMinorVersion);
    SDL_GL_DeleteContext(m_context);
    m_context = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  const int version = major * 10 + minor;
  if (kEs) {
    m_caps.es = true;
    m_caps.polygonMode = m_caps.provokingVertex = m_caps.pointSize = m_caps.baseVertex = false;
    m_caps.textureSwizzle = m_caps.bgra = m_caps.borderColour = m_caps.lodBias = false;
    m_caps.polygonOffsetLines = false;
  }
  m_caps.clipControl = gl::ClipControl != nullptr && (version >= 45 || gl::HasExtension("GL_ARB_clip_control"));
  m_caps.s3tc = gl::HasExtension("GL_EXT_texture_compression_s3tc") ||
                gl::HasExtension("GL_WEBGL_compressed_texture_s3tc");
  if (version >= 46 || gl::HasExtension("GL_EXT_texture_filter_anisotropic") ||
      gl::HasExtension("GL_ARB_texture_filter_anisotropic")) {
    gl::GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &m_caps.maxAnisotropy);
  }
  m_caps.robust = robust && gl::GetGraphicsResetStatus != nullptr &&
                  (version >= 45 || gl::HasExtension("GL_KHR_robustness") || gl::HasExtension("GL_ARB_robustness"));
  m_cache->Invalidate();
  gl::GenSamplers(DeviceState::kSamplers, m_samplers);
  SetSwapInterval(swapInterval);
  return D3D_OK;
}

void GlDevice::DestroyContext() {
  if (m_context == nullptr) return;
  MakeCurrent();
  m_programs->DestroyAll();
  m_vertexArrays->DestroyAll();
  DestroyBackBuffer();
  gl::DeleteSamplers(DeviceState::kSamplers, m_samplers);
  std::memset(m_samplers, 0, sizeof(m_samplers));
  SDL_GL_MakeCurrent(m_window, nullptr);
  SDL_GL_DeleteContext(m_context);
  m_context = nullptr;
  m_cache->Invalidate();
}

void GlDevice::MakeCurrent() {
  if (m_context != nullptr && SDL_GL_GetCurrentContext() != m_context) SDL_GL_MakeCurrent(m_window, m_context);
}

bool GlDevice::ContextWasReset() const {
  return m_caps.robust && gl::GetGraphicsResetStatus() != GL_NO_ERROR;
}

void GlDevice::SetSwapInterval(int interval) {
  SDL_GL_SetSwapInterval(interval);  // unsupported under some servers: swaps then never block
}

void GlDevice::ShadersChanged() { m_programs->ShadersChanged(); }

void GlDevice::VertexInputChanged() { m_vertexArrays->InputChanged(); }

void GlDevice::DeclarationChanged() {
  m_vertexArrays->InputChanged();
  if (!m_caps.bgra) m_programs->ShadersChanged();
}

void GlDevice::ForgetResource(const Resource* resource) {
  m_vertexArrays->Forget(resource, Alive(), *m_cache);
  m_programs->Forget(resource, Alive(), *m_cache);
}

}  // namespace ostrevin::d3d9
