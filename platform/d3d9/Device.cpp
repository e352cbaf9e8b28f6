// IDirect3DDevice9 on OpenGL 3.3 core.
//
// The back buffer is an offscreen framebuffer of exactly the present
// parameters' size with a D24S8 depth-stencil buffer; Present scales it to
// the window's current drawable. Where GL differs from Direct3D 9 the device
// hides it: depth runs 0..1 (glClipControl, or a rewrite in the vertex
// shader), pixel centres sit on integer coordinates (the translated vertex
// shader moves positions by half a pixel), the front face is clockwise,
// D3DCOLOR attributes are read as BGRA, and images are top row first (GL
// reads back bottom-up, so captures are flipped).
//
// Every Set* call is filtered against the Direct3D-level state it records,
// so a program that sets its full state every frame costs no GL calls for
// what did not change; constants are uploaded per draw only when changed.
#include "Device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Win32Internal.h"

namespace ostrevin {
namespace d3d9 {

namespace {

// Render states Direct3D 9 defines; anything else is refused.
bool IsRenderState(UINT s) {
  static const unsigned char kStates[] = {
      7,   8,   9,   14,  15,  16,  19,  20,  22,  23,  24,  25,  26,  27,  28,  29,  34,  35,  36,  37,
      38,  47,  48,  52,  53,  54,  55,  56,  57,  58,  59,  60,  128, 129, 130, 131, 132, 133, 134, 135,
      136, 137, 139, 140, 141, 142, 143, 145, 146, 147, 148, 151, 152, 154, 155, 156, 157, 158, 159, 160,
      161, 162, 163, 165, 166, 167, 168, 170, 171, 172, 173, 174, 175, 176, 178, 179, 180, 181, 182, 183,
      184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 198, 199, 200, 201, 202, 203, 204, 205,
      206, 207, 208, 209};
  for (unsigned char k : kStates)
    if (k == s) return true;
  return false;
}

GLenum CompareFunc(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD b) {
  switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

GLenum BlendOp(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLint AddressMode(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

void ColorToFloats(D3DCOLOR c, float out[4]) {
  out[0] = static_cast<float>((c >> 16) & 0xff) / 255.0f;
  out[1] = static_cast<float>((c >> 8) & 0xff) / 255.0f;
  out[2] = static_cast<float>(c & 0xff) / 255.0f;
  out[3] = static_cast<float>((c >> 24) & 0xff) / 255.0f;
}

uint64_t NowNs(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

// Frame statistics for OSTREVIN_STATS, printed at exit.
struct Stats {
  unsigned frames = 0;
  uint64_t firstNs = 0, lastNs = 0, firstCpuNs = 0, lastCpuNs = 0;
  bool registered = false;
};
Stats g_stats;

void PrintStats() {
  const double frames = g_stats.frames > 1 ? static_cast<double>(g_stats.frames - 1) : 0.0;
  const double seconds = static_cast<double>(g_stats.lastNs - g_stats.firstNs) / 1e9;
  const double cpuMs = static_cast<double>(g_stats.lastCpuNs - g_stats.firstCpuNs) / 1e6;
  std::fprintf(stderr, "ostrevin stats: frames=%u fps=%.1f cpu_ms_per_frame=%.3f live_objects=%d\n",
               g_stats.frames, seconds > 0 ? frames / seconds : 0.0, frames > 0 ? cpuMs / frames : 0.0,
               LiveObjects());
}

bool Contains(const std::vector<unsigned>& list, unsigned value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

// ------------------------------------------------------------ construction

Device::Device(Direct3D9* d3d, HWND window, SDL_Window* sdlWindow)
    : m_d3d(d3d), m_window(window), m_sdlWindow(sdlWindow) {
  m_d3d->AddRef();
  std::memset(m_renderStates, 0, sizeof(m_renderStates));
  std::memset(m_samplerStates, 0, sizeof(m_samplerStates));
  std::memset(m_vsConstants, 0, sizeof(m_vsConstants));
  std::memset(m_psConstants, 0, sizeof(m_psConstants));
}

Device::~Device() {
  DestroyContext();
  m_d3d->Release();
}

bool Device::Implements(REFIID riid) const { return riid == IID_IDirect3DDevice9; }

HRESULT Device::Initialise(const D3DPRESENT_PARAMETERS& params) {
  m_params = params;
  HRESULT hr = CreateContext();
  if (FAILED(hr)) return hr;
  return CreateBackBuffer();
}

void Device::MakeCurrent() {
  if (m_context != nullptr && SDL_GL_GetCurrentContext() != m_context) SDL_GL_MakeCurrent(m_sdlWindow, m_context);
}

HRESULT Device::CreateContext() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
  m_context = SDL_GL_CreateContext(m_sdlWindow);
  m_robust = m_context != nullptr;
  if (m_context == nullptr) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
    m_context = SDL_GL_CreateContext(m_sdlWindow);
  }
  if (m_context == nullptr) {
    std::fprintf(stderr, "ostrevin: no OpenGL 3.3 core context: %s\n", SDL_GetError());
    return D3DERR_NOTAVAILABLE;
  }
  SDL_GL_MakeCurrent(m_sdlWindow, m_context);
  const char* missing = nullptr;
  if (!gl::Load(&missing)) {
    std::fprintf(stderr, "ostrevin: OpenGL entry point %s missing\n", missing);
    SDL_GL_DeleteContext(m_context);
    m_context = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  GLint major = 0, minor = 0;
  gl::GetIntegerv(GL_MAJOR_VERSION, &major);
  gl::GetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 33) {
    std::fprintf(stderr, "ostrevin: OpenGL %d.%d is older than 3.3\n", major, minor);
    SDL_GL_DeleteContext(m_context);
    m_context = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  const int version = major * 10 + minor;
  m_clipControl = gl::ClipControl != nullptr && (version >= 45 || gl::HasExtension("GL_ARB_clip_control"));
  m_s3tc = gl::HasExtension("GL_EXT_texture_compression_s3tc");
  if (version >= 46 || gl::HasExtension("GL_EXT_texture_filter_anisotropic") ||
      gl::HasExtension("GL_ARB_texture_filter_anisotropic")) {
    gl::GetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &m_maxAnisotropy);
  } else {
    m_maxAnisotropy = 0.0f;  // not supported
  }
  m_robust = m_robust && gl::GetGraphicsResetStatus != nullptr &&
             (version >= 45 || gl::HasExtension("GL_KHR_robustness") || gl::HasExtension("GL_ARB_robustness"));
  gl::GenSamplers(kSamplers, m_samplers);
  SetSwapInterval();
  return D3D_OK;
}

void Device::DestroyContext() {
  if (m_context == nullptr) return;
  MakeCurrent();
  for (auto& program : m_programs)
    if (program->name != 0) gl::DeleteProgram(program->name);
  m_programs.clear();
  for (auto& va : m_vertexArrays) gl::DeleteVertexArrays(1, &va->name);
  m_vertexArrays.clear();
  for (Resource* r : m_resources) r->DestroyGl();
  DestroyBackBuffer();
  gl::DeleteSamplers(kSamplers, m_samplers);
  std::memset(m_samplers, 0, sizeof(m_samplers));
  SDL_GL_MakeCurrent(m_sdlWindow, nullptr);
  SDL_GL_DeleteContext(m_context);
  m_context = nullptr;
  m_boundProgram = nullptr;
  m_boundVertexArray = nullptr;
  m_uploadBuffer = 0;
  std::memset(m_boundTextures, 0, sizeof(m_boundTextures));
}

void Device::SetSwapInterval() {
  int interval = m_params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
  if (m_params.PresentationInterval == D3DPRESENT_INTERVAL_TWO) interval = 2;
  if (switches::Get().vsync >= 0) interval = switches::Get().vsync;
  SDL_GL_SetSwapInterval(interval);  // unsupported under some servers: swaps then never block
}

HRESULT Device::CreateBackBuffer() {
  UINT width = m_params.BackBufferWidth, height = m_params.BackBufferHeight;
  if (width == 0 || height == 0) {
    RECT client;
    GetClientRect(m_window, &client);
    if (width == 0) width = static_cast<UINT>(std::max<LONG>(1, client.right - client.left));
    if (height == 0) height = static_cast<UINT>(std::max<LONG>(1, client.bottom - client.top));
    m_params.BackBufferWidth = width;
    m_params.BackBufferHeight = height;
  }
  if (width > 16384 || height > 16384) return D3DERR_INVALIDCALL;
  m_bbWidth = width;
  m_bbHeight = height;
  gl::GenRenderbuffers(1, &m_colorRb);
  gl::BindRenderbuffer(GL_RENDERBUFFER, m_colorRb);
  gl::RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  gl::GenRenderbuffers(1, &m_depthRb);
  gl::BindRenderbuffer(GL_RENDERBUFFER, m_depthRb);
  gl::RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
  gl::GenFramebuffers(1, &m_fbo);
  gl::BindFramebuffer(GL_FRAMEBUFFER, m_fbo);
  gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colorRb);
  gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depthRb);
  if (gl::CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::fprintf(stderr, "ostrevin: back buffer framebuffer incomplete\n");
    return D3DERR_NOTAVAILABLE;
  }
  if (!switches::Get().captureDir.empty()) {
    m_captureRgba.resize(static_cast<size_t>(width) * height * 4);
    m_captureRgb.resize(static_cast<size_t>(width) * height * 3);
  }
  ApplyDefaultState();
  return D3D_OK;
}

void Device::DestroyBackBuffer() {
  if (m_fbo != 0) gl::DeleteFramebuffers(1, &m_fbo);
  if (m_colorRb != 0) gl::DeleteRenderbuffers(1, &m_colorRb);
  if (m_depthRb != 0) gl::DeleteRenderbuffers(1, &m_depthRb);
  m_fbo = m_colorRb = m_depthRb = 0;
}

// Direct3D 9's state after device creation or Reset.
void Device::ApplyDefaultState() {
  std::memset(m_renderStates, 0, sizeof(m_renderStates));
  DWORD* rs = m_renderStates;
  rs[D3DRS_ZENABLE] = m_params.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  for (UINT s = 0; s < 256; ++s)
    if (IsRenderState(s)) ApplyRenderState(static_cast<D3DRENDERSTATETYPE>(s), rs[s]);

  for (UINT i = 0; i < kSamplers; ++i) {
    DWORD* ss = m_samplerStates[i];
    std::memset(ss, 0, sizeof(m_samplerStates[i]));
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
    ApplySamplerState(i, D3DSAMP_MINFILTER, ss[D3DSAMP_MINFILTER]);
    gl::BindSampler(i, m_samplers[i]);
  }

  gl::FrontFace(GL_CW);
  gl::ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  if (m_clipControl) gl::ClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  gl::BindFramebuffer(GL_FRAMEBUFFER, m_fbo);
  gl::DrawBuffer(GL_COLOR_ATTACHMENT0);
  gl::ReadBuffer(GL_COLOR_ATTACHMENT0);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl::PixelStorei(GL_PACK_ALIGNMENT, 1);

  m_viewport = {0, 0, m_bbWidth, m_bbHeight, 0.0f, 1.0f};
  ApplyViewport();

  std::memset(m_vsConstants, 0, sizeof(m_vsConstants));
  std::memset(m_psConstants, 0, sizeof(m_psConstants));
  ++m_vsVersion;
  ++m_psVersion;
  m_decl = nullptr;
  m_stream = nullptr;
  m_streamOffset = m_streamStride = 0;
  m_indices = nullptr;
  m_vs = nullptr;
  m_ps = nullptr;
  std::memset(m_textures, 0, sizeof(m_textures));
  m_vertexInputDirty = true;
  m_programDirty = true;
  gl::BindVertexArray(0);
  m_boundVertexArray = nullptr;
  gl::UseProgram(0);
  m_boundProgram = nullptr;
}

// ------------------------------------------------------------------- state

void Device::ApplyRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  const DWORD* rs = m_renderStates;
  switch (state) {
    case D3DRS_ZENABLE:
      (value != D3DZB_FALSE ? gl::Enable : gl::Disable)(GL_DEPTH_TEST);
      break;
    case D3DRS_ZFUNC:
      gl::DepthFunc(CompareFunc(value));
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
      gl::PolygonMode(GL_FRONT_AND_BACK, value == D3DFILL_POINT ? GL_POINT
                                         : value == D3DFILL_WIREFRAME ? GL_LINE
                                                                      : GL_FILL);
      break;
    case D3DRS_ALPHABLENDENABLE:
      (value ? gl::Enable : gl::Disable)(GL_BLEND);
      break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
      gl::BlendFunc(BlendFactor(rs[D3DRS_SRCBLEND]), BlendFactor(rs[D3DRS_DESTBLEND]));
      break;
    case D3DRS_BLENDOP:
      gl::BlendEquation(BlendOp(value));
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
      // Fixed-function states (lighting, fog, shading, alpha test, ...) are
      // recorded only: the programmable pipeline does not read them.
      break;
  }
}

void Device::ApplySamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD) {
  const DWORD* ss = m_samplerStates[sampler];
  const GLuint s = m_samplers[sampler];
  switch (type) {
    case D3DSAMP_ADDRESSU:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_S, AddressMode(ss[D3DSAMP_ADDRESSU]));
      break;
    case D3DSAMP_ADDRESSV:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_T, AddressMode(ss[D3DSAMP_ADDRESSV]));
      break;
    case D3DSAMP_ADDRESSW:
      gl::SamplerParameteri(s, GL_TEXTURE_WRAP_R, AddressMode(ss[D3DSAMP_ADDRESSW]));
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
      const DWORD minF = ss[D3DSAMP_MINFILTER], mipF = ss[D3DSAMP_MIPFILTER], magF = ss[D3DSAMP_MAGFILTER];
      const bool linearMin = minF == D3DTEXF_LINEAR || minF == D3DTEXF_ANISOTROPIC;
      GLint glMin;
      if (mipF == D3DTEXF_NONE)
        glMin = linearMin ? GL_LINEAR : GL_NEAREST;
      else if (mipF == D3DTEXF_POINT)
        glMin = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
      else
        glMin = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
      gl::SamplerParameteri(s, GL_TEXTURE_MIN_FILTER, glMin);
      gl::SamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magF == D3DTEXF_POINT || magF == D3DTEXF_NONE ? GL_NEAREST
                                                                                                    : GL_LINEAR);
      if (m_maxAnisotropy >= 1.0f) {
        // Anisotropy applies only with an anisotropic minification filter and
        // mip levels, at D3DSAMP_MAXANISOTROPY (default 1: plain linear).
        float aniso = 1.0f;
        if (minF == D3DTEXF_ANISOTROPIC && mipF != D3DTEXF_NONE)
          aniso = std::min(std::max(1.0f, static_cast<float>(ss[D3DSAMP_MAXANISOTROPY])), m_maxAnisotropy);
        gl::SamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY, aniso);
      }
      break;
    }
    default:
      break;
  }
}

void Device::ApplyViewport() {
  const D3DVIEWPORT9& vp = m_viewport;
  gl::Viewport(static_cast<GLint>(vp.X), static_cast<GLint>(m_bbHeight) - static_cast<GLint>(vp.Y + vp.Height),
               static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
  gl::DepthRange(vp.MinZ, vp.MaxZ);
  ++m_viewportVersion;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  const UINT s = static_cast<UINT>(state);
  if (s >= 256 || !IsRenderState(s)) return D3DERR_INVALIDCALL;
  if (m_renderStates[s] == value) return D3D_OK;
  m_renderStates[s] = value;
  if (m_context != nullptr) ApplyRenderState(state, value);
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) {
  const UINT s = static_cast<UINT>(state);
  if (pValue == nullptr || s >= 256 || !IsRenderState(s)) return D3DERR_INVALIDCALL;
  *pValue = m_renderStates[s];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  const UINT t = static_cast<UINT>(type);
  if (sampler >= kSamplers || t < D3DSAMP_ADDRESSU || t > 13) return D3DERR_INVALIDCALL;
  if (m_samplerStates[sampler][t] == value) return D3D_OK;
  m_samplerStates[sampler][t] = value;
  if (m_context != nullptr) ApplySamplerState(sampler, type, value);
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* pValue) {
  const UINT t = static_cast<UINT>(type);
  if (pValue == nullptr || sampler >= kSamplers || t < D3DSAMP_ADDRESSU || t > 13) return D3DERR_INVALIDCALL;
  *pValue = m_samplerStates[sampler][t];
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* pViewport) {
  if (pViewport == nullptr || pViewport->Width == 0 || pViewport->Height == 0 ||
      pViewport->X + pViewport->Width > m_bbWidth || pViewport->Y + pViewport->Height > m_bbHeight)
    return D3DERR_INVALIDCALL;
  if (std::memcmp(&m_viewport, pViewport, sizeof(m_viewport)) == 0) return D3D_OK;
  m_viewport = *pViewport;
  if (m_context != nullptr) ApplyViewport();
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* pViewport) {
  if (pViewport == nullptr) return D3DERR_INVALIDCALL;
  *pViewport = m_viewport;
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* pTexture) {
  if (stage >= kSamplers) return D3DERR_INVALIDCALL;
  if (pTexture != nullptr && dynamic_cast<Texture*>(pTexture) == nullptr) return D3DERR_INVALIDCALL;
  m_textures[stage] = pTexture;  // applied at the next draw
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** ppTexture) {
  if (ppTexture == nullptr || stage >= kSamplers) return D3DERR_INVALIDCALL;
  *ppTexture = m_textures[stage];
  if (*ppTexture != nullptr) (*ppTexture)->AddRef();
  return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
  VertexDeclaration* decl = static_cast<VertexDeclaration*>(pDecl);
  if (decl != m_decl) {
    m_decl = decl;
    m_vertexInputDirty = true;
  }
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* pBuffer, UINT offset, UINT stride) {
  if (stream != 0) return stream < 16 ? D3D_OK : D3DERR_INVALIDCALL;  // only stream 0 is drawn
  VertexBuffer* vb = static_cast<VertexBuffer*>(pBuffer);
  if (vb != m_stream || offset != m_streamOffset || stride != m_streamStride) {
    m_stream = vb;
    m_streamOffset = offset;
    m_streamStride = stride;
    m_vertexInputDirty = true;
  }
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  IndexBuffer* ib = static_cast<IndexBuffer*>(pIndexData);
  if (ib != m_indices) {
    m_indices = ib;
    m_vertexInputDirty = true;
  }
  return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* pShader) {
  VertexShader* vs = static_cast<VertexShader*>(pShader);
  if (vs != m_vs) {
    m_vs = vs;
    m_programDirty = true;
  }
  return D3D_OK;
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* pShader) {
  PixelShader* ps = static_cast<PixelShader*>(pShader);
  if (ps != m_ps) {
    m_ps = ps;
    m_programDirty = true;
  }
  return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT start, const float* pData, UINT count) {
  if (pData == nullptr || start > kVertexRegisters || count > kVertexRegisters - start) return D3DERR_INVALIDCALL;
  const size_t bytes = sizeof(float) * 4 * count;
  if (std::memcmp(m_vsConstants[start], pData, bytes) != 0) {
    std::memcpy(m_vsConstants[start], pData, bytes);
    ++m_vsVersion;
  }
  return D3D_OK;
}

HRESULT Device::GetVertexShaderConstantF(UINT start, float* pData, UINT count) {
  if (pData == nullptr || start > kVertexRegisters || count > kVertexRegisters - start) return D3DERR_INVALIDCALL;
  std::memcpy(pData, m_vsConstants[start], sizeof(float) * 4 * count);
  return D3D_OK;
}

HRESULT Device::SetPixelShaderConstantF(UINT start, const float* pData, UINT count) {
  if (pData == nullptr || start > kPixelRegisters || count > kPixelRegisters - start) return D3DERR_INVALIDCALL;
  const size_t bytes = sizeof(float) * 4 * count;
  if (std::memcmp(m_psConstants[start], pData, bytes) != 0) {
    std::memcpy(m_psConstants[start], pData, bytes);
    ++m_psVersion;
  }
  return D3D_OK;
}

HRESULT Device::GetPixelShaderConstantF(UINT start, float* pData, UINT count) {
  if (pData == nullptr || start > kPixelRegisters || count > kPixelRegisters - start) return D3DERR_INVALIDCALL;
  std::memcpy(pData, m_psConstants[start], sizeof(float) * 4 * count);
  return D3D_OK;
}

// ------------------------------------------------------------------ scenes

HRESULT Device::BeginScene() {
  if (m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* pRects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if ((count != 0 && pRects == nullptr) || (flags & ~7u) != 0) return D3DERR_INVALIDCALL;
  if (m_lost || m_context == nullptr || flags == 0) return D3D_OK;
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
  const LONG vx0 = static_cast<LONG>(m_viewport.X), vy0 = static_cast<LONG>(m_viewport.Y);
  const LONG vx1 = vx0 + static_cast<LONG>(m_viewport.Width), vy1 = vy0 + static_cast<LONG>(m_viewport.Height);
  const bool full = count == 0 && vx0 == 0 && vy0 == 0 && vx1 == static_cast<LONG>(m_bbWidth) &&
                    vy1 == static_cast<LONG>(m_bbHeight);
  if (full) {
    gl::Disable(GL_SCISSOR_TEST);
    gl::Clear(mask);
  } else {
    gl::Enable(GL_SCISSOR_TEST);
    const DWORD n = count == 0 ? 1 : count;
    for (DWORD i = 0; i < n; ++i) {
      LONG x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
      if (count != 0) {
        x0 = std::max(x0, pRects[i].x1);
        y0 = std::max(y0, pRects[i].y1);
        x1 = std::min(x1, pRects[i].x2);
        y1 = std::min(y1, pRects[i].y2);
      }
      if (x1 <= x0 || y1 <= y0) continue;
      gl::Scissor(x0, static_cast<GLint>(m_bbHeight) - y1, x1 - x0, y1 - y0);
      gl::Clear(mask);
    }
  }
  // Restore the masks and scissor test the render states ask for.
  if (flags & D3DCLEAR_TARGET) ApplyRenderState(D3DRS_COLORWRITEENABLE, m_renderStates[D3DRS_COLORWRITEENABLE]);
  if (flags & D3DCLEAR_ZBUFFER) ApplyRenderState(D3DRS_ZWRITEENABLE, m_renderStates[D3DRS_ZWRITEENABLE]);
  ApplyRenderState(D3DRS_SCISSORTESTENABLE, m_renderStates[D3DRS_SCISSORTESTENABLE]);
  return D3D_OK;
}

// ------------------------------------------------------------------- draws

Device::Program* Device::CurrentProgram() {
  if (!m_programDirty) return m_boundProgram;
  m_programDirty = false;
  Program* found = nullptr;
  if (m_vs != nullptr && m_ps != nullptr) {
    for (auto& p : m_programs) {
      if (p->vs == m_vs && p->ps == m_ps) {
        found = p.get();
        break;
      }
    }
    if (found == nullptr) {
      auto program = std::make_unique<Program>();
      program->vs = m_vs;
      program->ps = m_ps;
      LinkProgram(*program);
      m_programs.push_back(std::move(program));
      found = m_programs.back().get();
    }
  }
  if (found != nullptr && !found->linked) found = nullptr;
  if (found != m_boundProgram) {
    gl::UseProgram(found != nullptr ? found->name : 0);
    m_boundProgram = found;
  }
  return found;
}

bool Device::LinkProgram(Program& program) {
  if (program.vs->GlShader() == 0 || program.ps->GlShader() == 0) return false;
  program.name = gl::CreateProgram();
  gl::AttachShader(program.name, program.vs->GlShader());
  gl::AttachShader(program.name, program.ps->GlShader());
  gl::LinkProgram(program.name);
  GLint ok = GL_FALSE;
  gl::GetProgramiv(program.name, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    GLint length = 0;
    gl::GetProgramiv(program.name, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    gl::GetProgramInfoLog(program.name, length, nullptr, &log[0]);
    std::fprintf(stderr, "ostrevin: shader pair does not link: %s\n", log.c_str());
    gl::DeleteProgram(program.name);
    program.name = 0;
    return false;
  }
  gl::UseProgram(program.name);
  m_boundProgram = nullptr;  // the caller binds what it needs
  program.posFixLocation = gl::GetUniformLocation(program.name, kPositionFixupUniform);
  size_t shadowFloats = 0;
  for (int stage = 0; stage < 2; ++stage) {
    const GlslShader& glsl = stage == 0 ? program.vs->Glsl() : program.ps->Glsl();
    for (const GlslUniform& u : glsl.uniforms) {
      const GLint location = gl::GetUniformLocation(program.name, u.glslName.c_str());
      if (location < 0) continue;  // optimised away
      program.uniforms.push_back({&u, location, stage == 1});
      shadowFloats += 4 * static_cast<size_t>(u.registerCount);
    }
    for (const GlslSampler& s : glsl.samplers) {
      const GLint location = gl::GetUniformLocation(program.name, s.glslName.c_str());
      if (location >= 0) gl::Uniform1i(location, static_cast<GLint>(s.samplerIndex));
    }
  }
  program.shadow.assign(shadowFloats, std::nanf(""));
  program.linked = true;
  return true;
}

void Device::UploadConstants(Program& program) {
  if (program.posFixVersion != m_viewportVersion && program.posFixLocation >= 0) {
    // Half a pixel right and down, less 1/128 of a pixel: Direct3D 9's
    // centres at integer coordinates, and no centre left exactly on an edge,
    // so the result does not hang on GL's tie rule (Direct3D's top-left
    // rule follows: centres on top and left edges fall inside).
    const float shift = 63.0f / 64.0f;
    const float fix[4] = {shift / static_cast<float>(m_viewport.Width),
                          -shift / static_cast<float>(m_viewport.Height), 0.0f, 0.0f};
    gl::Uniform4fv(program.posFixLocation, 1, fix);
    program.posFixVersion = m_viewportVersion;
  }
  const bool vsChanged = program.vsVersion != m_vsVersion;
  const bool psChanged = program.psVersion != m_psVersion;
  if (!vsChanged && !psChanged) return;
  float* shadow = program.shadow.data();
  for (const Program::Uniform& u : program.uniforms) {
    const GlslUniform& info = *u.info;
    const size_t floats = 4 * static_cast<size_t>(info.registerCount);
    const UINT limit = u.pixel ? kPixelRegisters : kVertexRegisters;
    if ((u.pixel ? psChanged : vsChanged) && info.registerIndex + info.registerCount <= limit) {
      const float* regs = u.pixel ? m_psConstants[info.registerIndex] : m_vsConstants[info.registerIndex];
      if (std::memcmp(shadow, regs, floats * sizeof(float)) != 0) {
        std::memcpy(shadow, regs, floats * sizeof(float));
        const GLsizei n = static_cast<GLsizei>(std::max(1u, info.elements));
        const GLboolean transpose = info.transpose ? GL_TRUE : GL_FALSE;
        if (info.matrix) {
          // Registers are float4s: `rows` registers of four floats per element.
          if (info.rows == 3) gl::UniformMatrix4x3fv(u.location, n, transpose, regs);
          else if (info.rows == 2) gl::UniformMatrix4x2fv(u.location, n, transpose, regs);
          else gl::UniformMatrix4fv(u.location, n, transpose, regs);
        } else {
          // Vectors and scalars: one register each, leading components used.
          float packed[4 * 256];
          const GLsizei count = std::min<GLsizei>(n, 256);
          for (GLsizei i = 0; i < count; ++i) std::memcpy(&packed[i * info.columns], regs + 4 * i, info.columns * sizeof(float));
          switch (info.columns) {
            case 1: gl::Uniform1fv(u.location, count, packed); break;
            case 2: gl::Uniform2fv(u.location, count, packed); break;
            case 3: gl::Uniform3fv(u.location, count, packed); break;
            default: gl::Uniform4fv(u.location, count, regs); break;
          }
        }
      }
    }
    shadow += floats;
  }
  program.vsVersion = m_vsVersion;
  program.psVersion = m_psVersion;
}

bool Device::BindVertexInput() {
  if (!m_vertexInputDirty) return m_boundVertexArray != nullptr;
  m_vertexInputDirty = false;
  VertexArray* found = nullptr;
  if (m_decl != nullptr && m_stream != nullptr && m_indices != nullptr && m_streamStride != 0) {
    for (auto& va : m_vertexArrays) {
      if (va->decl == m_decl && va->vb == m_stream && va->offset == m_streamOffset && va->stride == m_streamStride &&
          va->ib == m_indices) {
        found = va.get();
        break;
      }
    }
    if (found == nullptr) {
      auto va = std::make_unique<VertexArray>(
          VertexArray{m_decl, m_stream, m_streamOffset, m_streamStride, m_indices, 0});
      gl::GenVertexArrays(1, &va->name);
      gl::BindVertexArray(va->name);
      gl::BindBuffer(GL_ARRAY_BUFFER, m_stream->Name());
      gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indices->Name());
      for (const D3DVERTEXELEMENT9& e : m_decl->Elements()) {
        if (e.Stream != 0) continue;
        const int location = VertexAttributeLocation(e.Usage, e.UsageIndex);
        if (location < 0 || location >= static_cast<int>(kMaxAttributes)) continue;
        GLint size = 4;
        GLenum type = GL_FLOAT;
        GLboolean normalized = GL_FALSE;
        switch (e.Type) {
          case D3DDECLTYPE_FLOAT1: size = 1; break;
          case D3DDECLTYPE_FLOAT2: size = 2; break;
          case D3DDECLTYPE_FLOAT3: size = 3; break;
          case D3DDECLTYPE_FLOAT4: size = 4; break;
          case D3DDECLTYPE_D3DCOLOR: size = GL_BGRA; type = GL_UNSIGNED_BYTE; normalized = GL_TRUE; break;
          case D3DDECLTYPE_UBYTE4: size = 4; type = GL_UNSIGNED_BYTE; break;
          case D3DDECLTYPE_UBYTE4N: size = 4; type = GL_UNSIGNED_BYTE; normalized = GL_TRUE; break;
          case D3DDECLTYPE_SHORT2: size = 2; type = GL_SHORT; break;
          case D3DDECLTYPE_SHORT4: size = 4; type = GL_SHORT; break;
          case D3DDECLTYPE_SHORT2N: size = 2; type = GL_SHORT; normalized = GL_TRUE; break;
          case D3DDECLTYPE_SHORT4N: size = 4; type = GL_SHORT; normalized = GL_TRUE; break;
          case D3DDECLTYPE_USHORT2N: size = 2; type = GL_UNSIGNED_SHORT; normalized = GL_TRUE; break;
          case D3DDECLTYPE_USHORT4N: size = 4; type = GL_UNSIGNED_SHORT; normalized = GL_TRUE; break;
          case D3DDECLTYPE_FLOAT16_2: size = 2; type = GL_HALF_FLOAT; break;
          case D3DDECLTYPE_FLOAT16_4: size = 4; type = GL_HALF_FLOAT; break;
          default: continue;
        }
        gl::EnableVertexAttribArray(static_cast<GLuint>(location));
        gl::VertexAttribPointer(static_cast<GLuint>(location), size, type, normalized,
                                static_cast<GLsizei>(m_streamStride),
                                reinterpret_cast<const void*>(static_cast<uintptr_t>(m_streamOffset + e.Offset)));
      }
      m_vertexArrays.push_back(std::move(va));
      found = m_vertexArrays.back().get();
      m_boundVertexArray = found;
      return true;
    }
  }
  if (found != m_boundVertexArray) {
    gl::BindVertexArray(found != nullptr ? found->name : 0);
    m_boundVertexArray = found;
  }
  return found != nullptr;
}

void Device::BindTextures(const Program& program) {
  for (int stage = 0; stage < 2; ++stage) {
    const GlslShader& glsl = stage == 0 ? program.vs->Glsl() : program.ps->Glsl();
    for (const GlslSampler& s : glsl.samplers) {
      if (s.samplerIndex >= kSamplers) continue;
      Texture* texture = static_cast<Texture*>(m_textures[s.samplerIndex]);
      const GLuint name = texture != nullptr ? texture->Name() : 0;
      if (m_boundTextures[s.samplerIndex] != name) {
        const GLenum unit = GL_TEXTURE0 + s.samplerIndex;
        if (m_activeUnit != unit) {
          gl::ActiveTexture(unit);
          m_activeUnit = unit;
        }
        gl::BindTexture(GL_TEXTURE_2D, name);
        m_boundTextures[s.samplerIndex] = name;
      }
    }
  }
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT, UINT, UINT startIndex,
                                     UINT primCount) {
  GLenum mode;
  UINT indices;
  switch (type) {
    case D3DPT_POINTLIST: mode = GL_POINTS; indices = primCount; break;
    case D3DPT_LINELIST: mode = GL_LINES; indices = primCount * 2; break;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; indices = primCount + 1; break;
    case D3DPT_TRIANGLELIST: mode = GL_TRIANGLES; indices = primCount * 3; break;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; indices = primCount + 2; break;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; indices = primCount + 2; break;
    default: return D3DERR_INVALIDCALL;
  }
  if (m_decl == nullptr || m_indices == nullptr || m_stream == nullptr) return D3DERR_INVALIDCALL;
  if (primCount == 0 || m_lost || m_context == nullptr) return D3D_OK;
  const UINT indexBytes = m_indices->Format() == D3DFMT_INDEX32 ? 4 : 2;
  if (static_cast<uint64_t>(startIndex) + indices > m_indices->Size() / indexBytes) return D3DERR_INVALIDCALL;

  Program* program = CurrentProgram();
  if (program == nullptr) return D3DERR_INVALIDCALL;  // no fixed-function pipeline
  if (!BindVertexInput()) return D3DERR_INVALIDCALL;
  UploadConstants(*program);
  BindTextures(*program);
  gl::DrawElementsBaseVertex(mode, static_cast<GLsizei>(indices),
                             indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexBytes),
                             baseVertexIndex);
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) {
  // Not used by the program; non-indexed drawing is not offered.
  return D3DERR_INVALIDCALL;
}

// ----------------------------------------------------------- presentation

HRESULT Device::TestCooperativeLevel() {
  if (!m_lost) return D3D_OK;
  return D3DERR_DEVICENOTRESET;
}

HRESULT Device::GetDirect3D(IDirect3D9** ppD3D9) {
  if (ppD3D9 == nullptr) return D3DERR_INVALIDCALL;
  m_d3d->AddRef();
  *ppD3D9 = m_d3d;
  return D3D_OK;
}

HRESULT Device::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND, const RGNDATA*) {
  const switches::Switches& sw = switches::Get();
  const unsigned frame = ++m_frames;
  HRESULT result = D3D_OK;
  if (m_lost || m_context == nullptr) {
    result = D3DERR_DEVICELOST;
  } else if (m_robust && gl::GetGraphicsResetStatus() != GL_NO_ERROR) {
    m_lost = true;  // the context is gone: Reset rebuilds it
    result = D3DERR_DEVICELOST;
  } else if (Contains(sw.presentFail, frame)) {
    m_lost = true;
    result = D3DERR_DEVICELOST;
  } else {
    if (!sw.captureDir.empty() && (Contains(sw.captureFrames, frame) ||
                                   (sw.captureFrames.empty() && sw.exitAfter != 0 && frame == sw.exitAfter)))
      Capture(frame);
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(m_sdlWindow, &drawableW, &drawableH);
    GLint sx0 = 0, sy0 = 0, sx1 = static_cast<GLint>(m_bbWidth), sy1 = static_cast<GLint>(m_bbHeight);
    if (pSourceRect != nullptr) {
      sx0 = pSourceRect->left;
      sx1 = pSourceRect->right;
      sy0 = static_cast<GLint>(m_bbHeight) - pSourceRect->bottom;
      sy1 = static_cast<GLint>(m_bbHeight) - pSourceRect->top;
    }
    GLint dx0 = 0, dy0 = 0, dx1 = drawableW, dy1 = drawableH;
    if (pDestRect != nullptr) {
      dx0 = pDestRect->left;
      dx1 = pDestRect->right;
      dy0 = drawableH - pDestRect->bottom;
      dy1 = drawableH - pDestRect->top;
    }
    const bool scaled = (sx1 - sx0) != (dx1 - dx0) || (sy1 - sy0) != (dy1 - dy0);
    gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl::BlitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST);
    SDL_GL_SwapWindow(m_sdlWindow);
    gl::Flush();
    gl::BindFramebuffer(GL_DRAW_FRAMEBUFFER, m_fbo);
  }

  if (sw.stats) {
    if (!g_stats.registered) {
      g_stats.registered = true;
      std::atexit(PrintStats);
    }
    const uint64_t now = NowNs(CLOCK_MONOTONIC), cpu = NowNs(CLOCK_PROCESS_CPUTIME_ID);
    if (g_stats.frames == 0) {
      g_stats.firstNs = now;
      g_stats.firstCpuNs = cpu;
    }
    g_stats.lastNs = now;
    g_stats.lastCpuNs = cpu;
    g_stats.frames = frame;
  }
  switches::SetFramesPresented(frame);
  if (sw.exitAfter != 0 && frame == sw.exitAfter) PostMessageW(m_window, WM_CLOSE, 0, 0);
  return result;
}

void Device::Capture(unsigned frame) {
  if (m_captureRgba.empty()) return;
  gl::BindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
  gl::ReadPixels(0, 0, static_cast<GLsizei>(m_bbWidth), static_cast<GLsizei>(m_bbHeight), GL_RGBA, GL_UNSIGNED_BYTE,
                 m_captureRgba.data());
  // GL rows come bottom-up; the image is written top row first.
  for (UINT y = 0; y < m_bbHeight; ++y) {
    const uint8_t* src = &m_captureRgba[static_cast<size_t>(m_bbHeight - 1 - y) * m_bbWidth * 4];
    uint8_t* dst = &m_captureRgb[static_cast<size_t>(y) * m_bbWidth * 3];
    for (UINT x = 0; x < m_bbWidth; ++x) {
      dst[3 * x] = src[4 * x];
      dst[3 * x + 1] = src[4 * x + 1];
      dst[3 * x + 2] = src[4 * x + 2];
    }
  }
  char name[32];
  std::snprintf(name, sizeof(name), "/frame-%05u.png", frame);
  const std::string path = switches::Get().captureDir + name;
  if (!WritePng(path, static_cast<int>(m_bbWidth), static_cast<int>(m_bbHeight), m_captureRgb.data()))
    std::fprintf(stderr, "ostrevin: cannot write %s\n", path.c_str());
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* pParams) {
  if (pParams == nullptr) return D3DERR_INVALIDCALL;
  if (m_inScene) m_inScene = false;
  // A default-pool resource would have to be released first.
  for (Resource* r : m_resources) {
    Texture* t = dynamic_cast<Texture*>(r);
    D3DSURFACE_DESC desc;
    if (t != nullptr && SUCCEEDED(t->GetLevelDesc(0, &desc)) && desc.Pool == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  }
  m_params = *pParams;
  if (m_lost || m_context == nullptr) {
    // After a loss everything is rebuilt from the system-memory copies.
    DestroyContext();
    HRESULT hr = CreateContext();
    if (FAILED(hr)) return D3DERR_DEVICELOST;
    for (Resource* r : m_resources) r->RecreateGl();
  } else {
    MakeCurrent();
    DestroyBackBuffer();
    SetSwapInterval();
  }
  HRESULT hr = CreateBackBuffer();
  if (FAILED(hr)) return hr;
  pParams->BackBufferWidth = m_params.BackBufferWidth;
  pParams->BackBufferHeight = m_params.BackBufferHeight;
  m_lost = false;
  m_programDirty = true;
  m_vertexInputDirty = true;
  return D3D_OK;
}

// --------------------------------------------------------------- resources

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** ppTexture, HANDLE* pShared) {
  if (ppTexture == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (pShared != nullptr || width == 0 || height == 0 || width > 16384 || height > 16384) return D3DERR_INVALIDCALL;
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return D3DERR_NOTAVAILABLE;
  UINT full = 1;
  for (UINT m = std::max(width, height); m > 1; m >>= 1) ++full;
  if (levels == 0) levels = full;
  if (levels > full) return D3DERR_INVALIDCALL;
  GlFormat glFormat;
  if (!LookUpFormat(format, &glFormat)) return D3DERR_INVALIDCALL;
  if (glFormat.compressed && !m_s3tc) return D3DERR_NOTAVAILABLE;
  MakeCurrent();
  *ppTexture = new Texture(this, width, height, levels, usage, format, pool, glFormat);
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** ppBuffer, HANDLE* pShared) {
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
  *ppBuffer = nullptr;
  // A zero-length buffer is refused, as wined3d does.
  if (pShared != nullptr || length == 0) return D3DERR_INVALIDCALL;
  MakeCurrent();
  *ppBuffer = new VertexBuffer(this, length, usage, fvf, pool);
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** ppBuffer, HANDLE* pShared) {
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
  *ppBuffer = nullptr;
  if (pShared != nullptr || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  MakeCurrent();
  *ppBuffer = new IndexBuffer(this, length, usage, format, pool);
  return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pElements, IDirect3DVertexDeclaration9** ppDecl) {
  if (ppDecl == nullptr) return D3DERR_INVALIDCALL;
  *ppDecl = nullptr;
  if (pElements == nullptr) return D3DERR_INVALIDCALL;
  UINT count = 0;
  while (pElements[count].Stream != 0xFF) {
    if (count >= MAXD3DDECLLENGTH || pElements[count].Type > D3DDECLTYPE_FLOAT16_4) return D3DERR_INVALIDCALL;
    ++count;
  }
  *ppDecl = new VertexDeclaration(this, pElements, count);
  return D3D_OK;
}

namespace {
template <typename ShaderClass, typename Interface>
HRESULT CreateShaderObject(Device* device, ShaderStage stage, bool remapDepth, const DWORD* pFunction,
                           Interface** ppShader) {
  if (ppShader == nullptr) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  ShaderCode code;
  if (pFunction == nullptr || !DecodeShaderCode(pFunction, 0, &code) || code.stage != stage)
    return D3DERR_INVALIDCALL;
  GlslOptions options;
  options.remapDepth = remapDepth;
  GlslShader glsl;
  std::string error;
  if (!TranslateShaderToGlsl(code, options, &glsl, &error)) {
    std::fprintf(stderr, "ostrevin: shader translation failed: %s\n", error.c_str());
    return D3DERR_INVALIDCALL;
  }
  device->MakeCurrent();
  ShaderClass* shader = new ShaderClass(device, pFunction, ShaderCodeSize(pFunction), std::move(glsl));
  if (shader->GlShader() == 0) {
    std::fprintf(stderr, "ostrevin: translated shader does not compile: %s\n", shader->CompileLog().c_str());
    shader->Release();
    return D3DERR_INVALIDCALL;
  }
  *ppShader = shader;
  return D3D_OK;
}
}  // namespace

HRESULT Device::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  return CreateShaderObject<VertexShader>(this, ShaderStage::Vertex, !m_clipControl, pFunction, ppShader);
}

HRESULT Device::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  return CreateShaderObject<PixelShader>(this, ShaderStage::Pixel, !m_clipControl, pFunction, ppShader);
}

// ------------------------------------------------------------- bookkeeping

void Device::Register(Resource* resource) { m_resources.push_back(resource); }

void Device::Unregister(Resource* resource) {
  ForgetResource(resource);
  m_resources.erase(std::remove(m_resources.begin(), m_resources.end(), resource), m_resources.end());
}

void Device::ForgetResource(Resource* resource) {
  MakeCurrent();
  for (UINT i = 0; i < kSamplers; ++i) {
    if (m_textures[i] != nullptr && static_cast<Resource*>(static_cast<Texture*>(m_textures[i])) == resource)
      m_textures[i] = nullptr;
  }
  if (resource == static_cast<Resource*>(m_decl) || resource == static_cast<Resource*>(m_stream) ||
      resource == static_cast<Resource*>(m_indices)) {
    if (resource == static_cast<Resource*>(m_decl)) m_decl = nullptr;
    if (resource == static_cast<Resource*>(m_stream)) m_stream = nullptr;
    if (resource == static_cast<Resource*>(m_indices)) m_indices = nullptr;
    m_vertexInputDirty = true;
  }
  if (resource == static_cast<Resource*>(m_vs)) m_vs = nullptr, m_programDirty = true;
  if (resource == static_cast<Resource*>(m_ps)) m_ps = nullptr, m_programDirty = true;

  for (size_t i = 0; i < m_vertexArrays.size();) {
    VertexArray& va = *m_vertexArrays[i];
    if (static_cast<Resource*>(va.decl) == resource || static_cast<Resource*>(va.vb) == resource ||
        static_cast<Resource*>(va.ib) == resource) {
      if (m_boundVertexArray == &va) {
        if (m_context != nullptr) gl::BindVertexArray(0);
        m_boundVertexArray = nullptr;
        m_vertexInputDirty = true;
      }
      if (m_context != nullptr) gl::DeleteVertexArrays(1, &va.name);
      m_vertexArrays.erase(m_vertexArrays.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  for (size_t i = 0; i < m_programs.size();) {
    Program& p = *m_programs[i];
    if (static_cast<Resource*>(p.vs) == resource || static_cast<Resource*>(p.ps) == resource) {
      if (m_boundProgram == &p) {
        if (m_context != nullptr) gl::UseProgram(0);
        m_boundProgram = nullptr;
        m_programDirty = true;
      }
      if (m_context != nullptr && p.name != 0) gl::DeleteProgram(p.name);
      m_programs.erase(m_programs.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void Device::ForgetGlName(GLuint name, bool texture) {
  // A deleted name may be handed out again: drop cached bindings of it.
  MakeCurrent();
  if (texture) {
    for (UINT i = 0; i < kSamplers; ++i)
      if (m_boundTextures[i] == name) m_boundTextures[i] = kUnknownBinding;
  } else if (m_uploadBuffer == name) {
    m_uploadBuffer = 0;
  }
}

void Device::BindCopyWriteBuffer(GLuint name) {
  MakeCurrent();
  if (m_uploadBuffer != name) {
    gl::BindBuffer(GL_COPY_WRITE_BUFFER, name);
    m_uploadBuffer = name;
  }
}

void Device::BindTextureForUpload(GLuint name) {
  MakeCurrent();
  // Unit 15 is kept for uploads so that draw bindings stay as they are.
  const GLenum unit = GL_TEXTURE0 + kSamplers - 1;
  if (m_activeUnit != unit) {
    gl::ActiveTexture(unit);
    m_activeUnit = unit;
  }
  gl::BindTexture(GL_TEXTURE_2D, name);
  m_boundTextures[kSamplers - 1] = name;
}

}  // namespace d3d9
}  // namespace ostrevin
