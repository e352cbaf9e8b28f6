// The demo's frame written as a plain SDL2 + OpenGL 3.3 core program, the
// baseline of scripts/bench.sh. It draws what ostrevin draws: the same three
// generated meshes, the GLSL our layer makes from the shipped shaders
// (dumped at build time by ostrevin_reference_glsl), the same uniforms,
// texture, state, animation, 784x561 back buffer in an offscreen framebuffer
// blitted to the window, and swap interval 0 (OSTREVIN_VSYNC=1 turns it on).
//
// Run from the demo folder (it reads Data/). Switches, as the layer's:
//   OSTREVIN_EXIT_AFTER=N  stop after the N-th swap
//   OSTREVIN_STATS=1       "reference stats: frames=N fps=F cpu_ms_per_frame=C live_objects=0" at exit
//   OSTREVIN_CAPTURE=FILE  writes the back buffer of the last frame as a binary PPM
// Always prints one start-up line to standard error after the first swap:
//   "reference startup: total_ms=T window_context_ms=.. shaders_ms=.. texture_ms=.. meshes_ms=.. first_frame_ms=.."
// (from main's entry; first_frame covers the first draw, where llvmpipe
// compiles the shaders, and the first swap).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/ReadWholeFile.h"
#include "mesh/GameModel.h"
#include "mesh/LittleEndian.h"
#include "support/ProgramWindow.h"

#ifndef GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
#define GL_COMPRESSED_RGBA_S3TC_DXT1_EXT 0x83F1
#endif
#ifndef GL_TEXTURE_MAX_ANISOTROPY
#define GL_TEXTURE_MAX_ANISOTROPY 0x84FE
#endif

namespace {

const int kWidth = kProgramClientWidth;
const int kHeight = kProgramClientHeight;

uint64_t NowNs(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

double MsBetween(uint64_t a, uint64_t b) { return static_cast<double>(b - a) / 1e6; }

unsigned EnvUnsigned(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : 0u;
}

// ------------------------------------------------------------------ math
// Row-vector matrices laid out as D3DX's: m[row][col], translation in row 3.
struct Mat {
  float m[4][4];
};

Mat Identity() {
  Mat r;
  std::memset(&r, 0, sizeof(r));
  for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
  return r;
}

Mat Multiply(const Mat& a, const Mat& b) {
  Mat r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

struct Vec3 {
  float x, y, z;
};
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalize(Vec3 a) {
  const float l = std::sqrt(Dot(a, a));
  return {a.x / l, a.y / l, a.z / l};
}

Mat LookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
  const Vec3 z = Normalize(Sub(at, eye));
  const Vec3 x = Normalize(Cross(up, z));
  const Vec3 y = Cross(z, x);
  Mat r = Identity();
  r.m[0][0] = x.x, r.m[0][1] = y.x, r.m[0][2] = z.x;
  r.m[1][0] = x.y, r.m[1][1] = y.y, r.m[1][2] = z.y;
  r.m[2][0] = x.z, r.m[2][1] = y.z, r.m[2][2] = z.z;
  r.m[3][0] = -Dot(x, eye), r.m[3][1] = -Dot(y, eye), r.m[3][2] = -Dot(z, eye);
  return r;
}

Mat PerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
  Mat r;
  std::memset(&r, 0, sizeof(r));
  const float yScale = 1.0f / std::tan(fovy / 2.0f);
  r.m[0][0] = yScale / aspect;
  r.m[1][1] = yScale;
  r.m[2][2] = zf / (zf - zn);
  r.m[2][3] = 1.0f;
  r.m[3][2] = -zn * zf / (zf - zn);
  return r;
}

// The rotation rows of D3DXMatrixRotationZ over a local matrix's rows 0..2.
void SetRotationZ(Mat* local, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  const float rows[3][4] = {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}};
  std::memcpy(local->m, rows, sizeof(rows));
}

// ------------------------------------------------------------ resources

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

GLuint CompileShader(GLenum type, const std::string& source, const char* what) {
  const GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    char log[4096] = {};
    glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
    std::fprintf(stderr, "reference: %s does not compile: %s\n", what, log);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

struct Layout {
  std::string viewProjection, world, light, eye, posfix;
  std::vector<std::pair<std::string, int>> samplers;
  struct Attribute {
    int location;
    unsigned offset;
    std::string type;
  };
  std::vector<Attribute> attributes;
};

bool ReadLayout(const std::string& path, Layout* out) {
  std::istringstream in(ReadText(path));
  std::string kind;
  while (in >> kind) {
    if (kind == "uniform") {
      std::string stage, hlsl, glsl;
      int matrix = 0, transpose = 0;
      in >> stage >> hlsl >> glsl >> matrix >> transpose;
      if (hlsl == "mViewProjection") out->viewProjection = glsl;
      else if (hlsl == "mWorld") out->world = glsl;
      else if (hlsl == "vLight") out->light = glsl;
      else if (hlsl == "vCam") out->eye = glsl;
    } else if (kind == "sampler") {
      std::string stage, glsl;
      int unit = 0;
      in >> stage >> glsl >> unit;
      out->samplers.emplace_back(glsl, unit);
    } else if (kind == "attribute") {
      Layout::Attribute a;
      in >> a.location >> a.offset >> a.type;
      out->attributes.push_back(a);
    } else if (kind == "posfix") {
      in >> out->posfix;
    } else {
      return false;
    }
  }
  return !out->viewProjection.empty() && !out->world.empty() && !out->attributes.empty();
}

uint32_t Le32(const std::string& b, size_t at) { return ReadU32(reinterpret_cast<const unsigned char*>(b.data()) + at); }

// A DXT1 DDS file, every level it holds, straight into a GL texture.
GLuint LoadDxt1Texture(const std::string& path) {
  const std::string bytes = ReadText(path);
  if (bytes.size() < 128 || bytes.compare(0, 4, "DDS ") != 0 || Le32(bytes, 4) != 124) return 0;
  const uint32_t height = Le32(bytes, 12), width = Le32(bytes, 16);
  const uint32_t levels = std::max<uint32_t>(1, Le32(bytes, 28));
  if (Le32(bytes, 84) != 0x31545844u /* "DXT1" */ || width == 0 || height == 0 || width > 16384 ||
      height > 16384 || levels > 15)
    return 0;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels) - 1);
  uint64_t at = 128;
  uint32_t w = width, h = height;
  for (uint32_t level = 0; level < levels; ++level) {
    const uint64_t size = static_cast<uint64_t>(std::max(1u, (w + 3) / 4)) * std::max(1u, (h + 3) / 4) * 8;
    if (at + size > bytes.size()) {
      glDeleteTextures(1, &texture);
      return 0;
    }
    glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
                           static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, static_cast<GLsizei>(size),
                           bytes.data() + at);
    at += size;
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
  return texture;
}

struct Mesh {
  GLuint vao = 0, vbo = 0, ibo = 0;
  std::vector<std::pair<GLsizei, size_t>> draws;  // index count, byte offset of the first index
};

// One model: every sub-mesh in one vertex and one index buffer, indices
// rebased to the shared buffer as CMesh::Load does.
bool LoadMesh(const std::string& path, const Layout& layout, Mesh* mesh) {
  std::vector<CSubMesh> subMeshes;
  std::string error;
  if (!ReadGameModel(ReadWholeFile(path), &subMeshes, &error)) {
    std::fprintf(stderr, "reference: %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  std::vector<unsigned char> vertices;
  std::vector<uint16_t> indices;
  DWORD runningBase = 0;
  for (CSubMesh& subMesh : subMeshes) {
    const unsigned char* v = reinterpret_cast<const unsigned char*>(subMesh.m_vertices.data());
    vertices.insert(vertices.end(), v, v + subMesh.m_vertices.size() * sizeof(CVertex));
    PlaceSubMesh(&subMesh, &runningBase);
    mesh->draws.emplace_back(static_cast<GLsizei>(subMesh.m_indices.size()), indices.size() * sizeof(uint16_t));
    indices.insert(indices.end(), subMesh.m_indices.begin(), subMesh.m_indices.end());
  }
  glGenVertexArrays(1, &mesh->vao);
  glBindVertexArray(mesh->vao);
  glGenBuffers(1, &mesh->vbo);
  glBindBuffer(GL_ARRAY_BUFFER, mesh->vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size()), vertices.data(), GL_STATIC_DRAW);
  glGenBuffers(1, &mesh->ibo);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh->ibo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)), indices.data(),
               GL_STATIC_DRAW);
  for (const Layout::Attribute& a : layout.attributes) {
    const GLuint location = static_cast<GLuint>(a.location);
    const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(a.offset));
    glEnableVertexAttribArray(location);
    if (a.type == "color") {
      glVertexAttribPointer(location, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(CVertex), offset);
    } else {
      const GLint size = a.type == "float1" ? 1 : a.type == "float2" ? 2 : a.type == "float3" ? 3 : 4;
      glVertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, sizeof(CVertex), offset);
    }
  }
  glBindVertexArray(0);
  return true;
}

void WritePpm(const std::string& path) {
  std::vector<unsigned char> rgba(static_cast<size_t>(kWidth) * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << kWidth << ' ' << kHeight << "\n255\n";
  for (int y = kHeight - 1; y >= 0; --y)
    for (int x = 0; x < kWidth; ++x) out.write(reinterpret_cast<const char*>(&rgba[(static_cast<size_t>(y) * kWidth + x) * 4]), 3);
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t t0 = NowNs(CLOCK_MONOTONIC);
  const std::string glslDir = argc > 1 ? argv[1] : OSTREVIN_REFERENCE_GLSL_DIR;
  const unsigned exitAfter = EnvUnsigned("OSTREVIN_EXIT_AFTER");
  const char* statsSwitch = std::getenv("OSTREVIN_STATS");
  const bool stats = statsSwitch != nullptr && *statsSwitch != '\0' && std::strcmp(statsSwitch, "0") != 0;
  const char* vsyncSwitch = std::getenv("OSTREVIN_VSYNC");
  const int swapInterval = vsyncSwitch != nullptr && std::strcmp(vsyncSwitch, "0") != 0 ? 1 : 0;
  const char* capture = std::getenv("OSTREVIN_CAPTURE");

  // Window and context, as the layer asks for them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "reference: SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("Ostrevin reference", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth,
                                        kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (window == nullptr) {
    std::fprintf(stderr, "reference: SDL_CreateWindow: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
    context = SDL_GL_CreateContext(window);
  }
  if (context == nullptr) {
    std::fprintf(stderr, "reference: no OpenGL 3.3 core context: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_MakeCurrent(window, context);
  SDL_GL_SetSwapInterval(swapInterval);

  // The back buffer: RGBA8 colour and D24S8 depth-stencil in a framebuffer.
  GLuint colorRb = 0, depthRb = 0, fbo = 0;
  glGenRenderbuffers(1, &colorRb);
  glBindRenderbuffer(GL_RENDERBUFFER, colorRb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
  glGenRenderbuffers(1, &depthRb);
  glBindRenderbuffer(GL_RENDERBUFFER, depthRb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kWidth, kHeight);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRb);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthRb);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::fprintf(stderr, "reference: back buffer framebuffer incomplete\n");
    return 1;
  }
  // Direct3D's conventions, as the device sets them once.
  glFrontFace(GL_CW);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  glDrawBuffer(GL_COLOR_ATTACHMENT0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glViewport(0, 0, kWidth, kHeight);
  glDepthRange(0.0, 1.0);
  GLuint sampler = 0;
  glGenSamplers(1, &sampler);
  glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY, 1.0f);  // D3DSAMP_MAXANISOTROPY's default
  glBindSampler(0, sampler);
  const uint64_t tWindow = NowNs(CLOCK_MONOTONIC);

  // Shaders.
  Layout layout;
  if (!ReadLayout(glslDir + "/layout.txt", &layout)) {
    std::fprintf(stderr, "reference: %s/layout.txt missing or incomplete\n", glslDir.c_str());
    return 1;
  }
  const GLuint vs = CompileShader(GL_VERTEX_SHADER, ReadText(glslDir + "/vs.glsl"), "vs.glsl");
  const GLuint ps = CompileShader(GL_FRAGMENT_SHADER, ReadText(glslDir + "/ps.glsl"), "ps.glsl");
  if (vs == 0 || ps == 0) return 1;
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, ps);
  glLinkProgram(program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    std::fprintf(stderr, "reference: the shader pair does not link\n");
    return 1;
  }
  glUseProgram(program);
  const GLint viewProjectionLoc = glGetUniformLocation(program, layout.viewProjection.c_str());
  const GLint worldLoc = glGetUniformLocation(program, layout.world.c_str());
  const GLint lightLoc = glGetUniformLocation(program, layout.light.c_str());
  const GLint eyeLoc = glGetUniformLocation(program, layout.eye.c_str());
  const GLint posfixLoc = glGetUniformLocation(program, layout.posfix.c_str());
  for (const auto& s : layout.samplers) {
    const GLint location = glGetUniformLocation(program, s.first.c_str());
    if (location >= 0) glUniform1i(location, s.second);
  }
  // Direct3D 9 pixel centres, as the device's fix-up: 63/64 px right and down.
  const float shift = 63.0f / 64.0f;
  glUniform4f(posfixLoc, shift / kWidth, -shift / kHeight, 0.0f, 0.0f);
  const uint64_t tShaders = NowNs(CLOCK_MONOTONIC);

  const GLuint texture = LoadDxt1Texture("Data/panel-01-diff.dds");
  if (texture == 0) std::fprintf(stderr, "reference: Data/panel-01-diff.dds: not loaded; drawing untextured\n");
  const uint64_t tTexture = NowNs(CLOCK_MONOTONIC);

  Mesh meshes[3];  // top, middle, bottom: the drawing order
  const char* const paths[3] = {"Data/top.GAMEMODEL", "Data/middle.GAMEMODEL", "Data/bottom.GAMEMODEL"};
  for (int i = 0; i < 3; ++i)
    if (!LoadMesh(paths[i], layout, &meshes[i])) return 1;
  const uint64_t tMeshes = NowNs(CLOCK_MONOTONIC);

  // The scene of COstrevin3D::Create.
  Mat local[3] = {Identity(), Identity(), Identity()};
  local[0].m[3][1] = 16.0f;
  local[1].m[3][1] = 10.0f;
  const Vec3 eye = {25.0f, 75.0f, 75.0f};
  const Mat view = LookAtLH(eye, {0.0f, 30.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
  const Mat projection = PerspectiveFovLH(static_cast<float>(M_PI / 3.0), 4.0f / 3.0f, 1.0f, 200.0f);
  const float light[4] = {250.0f, 100.0f, 100.0f, 0.0f};
  const float eyeVector[4] = {eye.x, eye.y, eye.z, 1.0f};

  unsigned frames = 0;
  uint64_t firstNs = 0, lastNs = 0, firstCpuNs = 0, lastCpuNs = 0;
  float animationTime = 0.0f;
  bool running = true;
  while (running) {
    SDL_Event e;
    while (SDL_PollEvent(&e))
      if (e.type == SDL_QUIT) running = false;
    if (!running) break;

    // COstrevin3D::Update.
    animationTime = animationTime + 0.03f;
    const float t = animationTime;
    const float cos3t = static_cast<float>(std::cos(static_cast<double>(3.0f * t)));
    const float cost = static_cast<float>(std::cos(static_cast<double>(t)));
    SetRotationZ(&local[0], static_cast<float>(static_cast<double>(0.2f) * cos3t - cost));
    SetRotationZ(&local[1], cost);
    if (t >= 6.283185307179586476925) animationTime = static_cast<float>(static_cast<double>(t) - 6.283185307179586476925);
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    (void)keys;  // the camera stays where it is

    // COstrevin3D::Render.
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glUseProgram(program);
    const Mat viewProjection = Multiply(view, projection);
    glUniformMatrix4fv(viewProjectionLoc, 1, GL_FALSE, &viewProjection.m[0][0]);
    glUniform4fv(lightLoc, 1, light);
    glUniform4fv(eyeLoc, 1, eyeVector);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindSampler(0, sampler);
    const Mat world[3] = {Multiply(local[0], Multiply(local[1], local[2])), Multiply(local[1], local[2]), local[2]};
    for (int i = 0; i < 3; ++i) {
      glUniformMatrix4fv(worldLoc, 1, GL_FALSE, &world[i].m[0][0]);
      glBindVertexArray(meshes[i].vao);
      for (const auto& d : meshes[i].draws)
        glDrawElements(GL_TRIANGLES, d.first, GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(d.second));
    }

    ++frames;
    if (capture != nullptr && exitAfter != 0 && frames == exitAfter) WritePpm(capture);
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(window, &drawableW, &drawableH);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const bool scaled = drawableW != kWidth || drawableH != kHeight;
    glBlitFramebuffer(0, 0, kWidth, kHeight, 0, 0, drawableW, drawableH, GL_COLOR_BUFFER_BIT,
                      scaled ? GL_LINEAR : GL_NEAREST);
    SDL_GL_SwapWindow(window);
    glFlush();
    const uint64_t now = NowNs(CLOCK_MONOTONIC), cpu = NowNs(CLOCK_PROCESS_CPUTIME_ID);
    if (frames == 1) {
      firstNs = now;
      firstCpuNs = cpu;
      std::fprintf(stderr,
                   "reference startup: total_ms=%.3f window_context_ms=%.3f shaders_ms=%.3f texture_ms=%.3f "
                   "meshes_ms=%.3f first_frame_ms=%.3f\n",
                   MsBetween(t0, now), MsBetween(t0, tWindow), MsBetween(tWindow, tShaders),
                   MsBetween(tShaders, tTexture), MsBetween(tTexture, tMeshes), MsBetween(tMeshes, now));
    }
    lastNs = now;
    lastCpuNs = cpu;
    if (exitAfter != 0 && frames >= exitAfter) running = false;
  }

  if (stats) {
    const double counted = frames > 1 ? static_cast<double>(frames - 1) : 0.0;
    const double seconds = static_cast<double>(lastNs - firstNs) / 1e9;
    const double cpuMs = static_cast<double>(lastCpuNs - firstCpuNs) / 1e6;
    std::fprintf(stderr, "reference stats: frames=%u fps=%.1f cpu_ms_per_frame=%.3f live_objects=0\n", frames,
                 seconds > 0 ? counted / seconds : 0.0, counted > 0 ? cpuMs / counted : 0.0);
  }
  for (Mesh& m : meshes) {
    glDeleteVertexArrays(1, &m.vao);
    glDeleteBuffers(1, &m.vbo);
    glDeleteBuffers(1, &m.ibo);
  }
  glDeleteTextures(1, &texture);
  glDeleteProgram(program);
  glDeleteShader(vs);
  glDeleteShader(ps);
  glDeleteSamplers(1, &sampler);
  glDeleteFramebuffers(1, &fbo);
  glDeleteRenderbuffers(1, &colorRb);
  glDeleteRenderbuffers(1, &depthRb);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
