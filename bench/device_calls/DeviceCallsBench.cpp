// CPU cost of one frame's device calls, through our Direct3D 9 layer and as
// the same GL calls made directly, in the same process and the same GL
// context (the device's):
//   layer:  the demo scene's own frame, COstrevin3D::DrawFrame (8 render
//           states, both shaders, the constants by name through the vertex
//           shader's constant table, texture and samplers, per model the
//           world matrix, declaration, buffers and one draw per sub-mesh)
//           between BeginScene and EndScene, on the scene the program starts
//           (its device, shaders and texture from the demo folder; one
//           triangle in each model's place).
//   direct: what a plain GL program issues for that frame every frame: the
//           six state calls, glUseProgram, the uniforms, texture and sampler
//           binding, per model the world matrix, glBindVertexArray and one
//           glDrawElements of the same triangles.
// Only the call issue is timed: Present is not called, the scene's Update
// runs before each frame outside the timed region (the world matrices change
// every frame, as the demo's do), and glFinish runs every 32 frames, also
// outside it. Blocks of both alternate; each figure is the median over blocks.
//   bench_device_calls [frames per block, default 4000] [blocks, default 7]
// Needs a display (scripts/bench.sh starts Xvfb). Under LD_PRELOAD of the
// bench shim it also prints the heap allocations per frame of both loops.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <d3dx9.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "graphics/Renderer.h"
#include "graphics/Shader.h"
#include "mesh/GameModel.h"
#include "mesh/Mesh.h"
#include "mesh/Vertex.h"
#include "scene/Ostrevin3D.h"
#include "support/TestDevice.h"

namespace {

const UINT kWidth = kProgramClientWidth, kHeight = kProgramClientHeight;
const int kModels = 3;

double NowUs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

bool ToGlsl(ID3DXBuffer* code, ostrevin::GlslShader* glsl) {
  ostrevin::ShaderCode decoded;
  std::string error;
  return code != nullptr &&
         ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()), code->GetBufferSize(),
                                    &decoded) &&
         ostrevin::TranslateShaderToGlsl(decoded, ostrevin::GlslOptions(), glsl, &error);
}

GLuint GlCompile(GLenum type, const std::string& source) {
  const GLuint s = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(s, 1, &text, nullptr);
  glCompileShader(s);
  GLint ok = GL_FALSE;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  return ok == GL_TRUE ? s : 0;
}

std::string UniformName(const ostrevin::GlslShader& glsl, const char* suffix) {
  for (const ostrevin::GlslUniform& u : glsl.uniforms) {
    const std::string& n = u.glslName;
    const size_t l = std::strlen(suffix);
    if (n.size() >= l && n.compare(n.size() - l, l, suffix) == 0) return n;
  }
  return std::string();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int framesPerBlock = argc > 1 ? std::max(64, std::atoi(argv[1])) : 4000;
  const int blocks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

  TestDevice gl;
  if (const char* failed = gl.OpenWindow(L"DeviceCallsBench", kProgramWindowWidth, kProgramWindowHeight)) {
    std::fprintf(stderr, "bench_device_calls: %s (no display?)\n", failed);
    return 1;
  }
  // The scene as the program starts it; it reads its inputs from the
  // working directory.
  std::filesystem::current_path(OSTREVIN_DEMO_DIR);
  COstrevin3D scene;
  scene.m_hWnd = gl.window;
  if (!scene.Create()) {
    std::fprintf(stderr, "bench_device_calls: the scene did not start in %s\n", OSTREVIN_DEMO_DIR);
    return 1;
  }
  IDirect3DDevice9* dev = CRenderer::Instance().m_pDevice;
  CEntityModel* const models[kModels] = {&scene.m_top, &scene.m_middle, &scene.m_bottom};
  // Each model shows one triangle in its own buffers instead of its
  // thousands: drawing those on the software rasterizer would be what the
  // blocks measure, not the issue of the calls.
  const std::string triangleFile =
      (std::filesystem::temp_directory_path() / ("bench-triangle-" + std::to_string(::getpid()) + ".GAMEMODEL"))
          .string();
  {
    CSubMesh triangle;
    triangle.m_vertices.resize(3);
    std::memset(triangle.m_vertices.data(), 0, 3 * sizeof(CVertex));
    triangle.m_vertices[1].m_position = D3DXVECTOR3(0.5f, 0.0f, 0.0f);
    triangle.m_vertices[2].m_position = D3DXVECTOR3(0.0f, 0.5f, 0.0f);
    for (CVertex& v : triangle.m_vertices) v.m_color = 0xFFFFFFFF, v.m_normal = D3DXVECTOR3(0, 0, -1);
    triangle.m_indices = {0, 1, 2};
    std::string bytes, error;
    if (!WriteGameModel({triangle}, std::string(), &bytes, &error)) return 1;
    std::ofstream(triangleFile, std::ios::binary) << bytes;
  }
  for (CEntityModel* model : models) {
    model->LoadMesh(triangleFile);
    if (model->m_pMesh == NULL) return 1;
  }
  std::filesystem::remove(triangleFile);

  // The direct loop's objects, in the device's context: the scene's shaders
  // as GLSL, and its models' vertices and indices.
  ostrevin::GlslShader vsGlsl, psGlsl;
  if (!ToGlsl(scene.m_pVertexShader->m_pCode, &vsGlsl) || !ToGlsl(scene.m_pPixelShader->m_pCode, &psGlsl)) return 1;
  // The direct loop changes bindings the device caches: they are saved
  // before each direct block and put back after it.
  GLint savedProgram = 0, savedVao = 0, savedActive = 0, savedTexture = 0, savedSampler = 0;
  auto saveDeviceBindings = [&]() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &savedProgram);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &savedVao);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &savedActive);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &savedTexture);
    glGetIntegerv(GL_SAMPLER_BINDING, &savedSampler);
    glActiveTexture(static_cast<GLenum>(savedActive));
  };
  saveDeviceBindings();
  const GLuint glVs = GlCompile(GL_VERTEX_SHADER, vsGlsl.source), glPs = GlCompile(GL_FRAGMENT_SHADER, psGlsl.source);
  if (glVs == 0 || glPs == 0) return 1;
  const GLuint program = glCreateProgram();
  glAttachShader(program, glVs);
  glAttachShader(program, glPs);
  glLinkProgram(program);
  glUseProgram(program);
  const GLint vpLoc = glGetUniformLocation(program, UniformName(vsGlsl, "mViewProjection").c_str());
  const GLint worldLoc = glGetUniformLocation(program, UniformName(vsGlsl, "mWorld").c_str());
  const GLint lightLoc = glGetUniformLocation(program, UniformName(vsGlsl, "vLight").c_str());
  const GLint camLoc = glGetUniformLocation(program, UniformName(vsGlsl, "vCam").c_str());
  glUniform4f(glGetUniformLocation(program, ostrevin::kPositionFixupUniform), 1.0f / kWidth, -1.0f / kHeight, 0, 0);
  for (const ostrevin::GlslSampler& s : psGlsl.samplers)
    glUniform1i(glGetUniformLocation(program, s.glslName.c_str()), static_cast<GLint>(s.samplerIndex));
  GLuint vaos[kModels], buffers[2 * kModels];
  glGenVertexArrays(kModels, vaos);
  glGenBuffers(2 * kModels, buffers);
  for (int i = 0; i < kModels; ++i) {
    std::vector<CVertex> vertices;
    std::vector<WORD> indices;
    for (const CSubMesh& sub : models[i]->m_pMesh->m_subMeshes) {
      vertices.insert(vertices.end(), sub.m_vertices.begin(), sub.m_vertices.end());
      indices.insert(indices.end(), sub.m_indices.begin(), sub.m_indices.end());
    }
    glBindVertexArray(vaos[i]);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[2 * i]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(CVertex)), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[2 * i + 1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(WORD)), indices.data(),
                 GL_STATIC_DRAW);
    for (const D3DVERTEXELEMENT9& e : g_vertexElements) {
      if (e.Stream == 0xFF) break;
      const int location = ostrevin::VertexAttributeLocation(e.Usage, e.UsageIndex);
      if (location < 0) continue;
      const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(e.Offset));
      glEnableVertexAttribArray(static_cast<GLuint>(location));
      if (e.Type == D3DDECLTYPE_D3DCOLOR)
        glVertexAttribPointer(static_cast<GLuint>(location), GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(CVertex), offset);
      else
        glVertexAttribPointer(static_cast<GLuint>(location), e.Type == D3DDECLTYPE_FLOAT4 ? 4 : 3, GL_FLOAT, GL_FALSE,
                              sizeof(CVertex), offset);
    }
  }
  GLuint glTexture = 0, sampler = 0;
  glActiveTexture(GL_TEXTURE0);
  glGenTextures(1, &glTexture);
  glBindTexture(GL_TEXTURE_2D, glTexture);
  const unsigned char texels[64] = {};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glGenSamplers(1, &sampler);
  glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  auto restoreDeviceBindings = [&]() {
    glUseProgram(static_cast<GLuint>(savedProgram));
    glBindVertexArray(static_cast<GLuint>(savedVao));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(savedTexture));
    glBindSampler(0, static_cast<GLuint>(savedSampler));
    glActiveTexture(static_cast<GLenum>(savedActive));
  };
  restoreDeviceBindings();

  // Out of line, so that a profiler sees each frame as one function:
  //   valgrind --tool=callgrind --collect-atstart=no
  //     --toggle-collect='main::{lambda()#3}::operator()() const' (the layer's frame; #4 the direct one)
  auto deviceFrame = [&]() __attribute__((noinline)) {
    dev->BeginScene();
    scene.DrawFrame(dev);
    dev->EndScene();
  };
  // The same matrices as the scene's frame, worked out as it does.
  auto directFrame = [&]() __attribute__((noinline)) {
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glUseProgram(program);
    const D3DXMATRIX view = scene.m_camera.GetViewMatrix();
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &view, &scene.m_camera.m_projection);
    glUniformMatrix4fv(vpLoc, 1, GL_FALSE, static_cast<const float*>(viewProjection));
    const D3DXVECTOR4 light(250.0f, 100.0f, 100.0f, 0.0f);
    glUniform4fv(lightLoc, 1, static_cast<const float*>(light));
    const D3DXMATRIX& eye = scene.m_camera.m_local;
    const D3DXVECTOR4 cam(eye._41, eye._42, eye._43, 1.0f);
    glUniform4fv(camLoc, 1, static_cast<const float*>(cam));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, glTexture);
    glBindSampler(0, sampler);
    for (int m = 0; m < kModels; ++m) {
      const D3DXMATRIX world = models[m]->GetWorldMatrix();
      glUniformMatrix4fv(worldLoc, 1, GL_FALSE, static_cast<const float*>(world));
      glBindVertexArray(vaos[m]);
      size_t start = 0;
      for (const CSubMesh& sub : models[m]->m_pMesh->m_subMeshes) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(sub.m_indices.size()), GL_UNSIGNED_SHORT,
                       reinterpret_cast<const void*>(start * sizeof(WORD)));
        start += sub.m_indices.size();
      }
    }
  };

  // Timed blocks: frame issue only; Update and glFinish every 32 frames untimed.
  auto runBlock = [&](bool layer) {
    for (int i = 0; i < 64; ++i) {
      scene.Update(0.02f);
      layer ? deviceFrame() : directFrame();
    }
    glFinish();
    double us = 0.0;
    for (int i = 0; i < framesPerBlock; ++i) {
      scene.Update(0.02f);
      const double t0 = NowUs();
      if (layer) deviceFrame();
      else directFrame();
      us += NowUs() - t0;
      if ((i & 31) == 31) glFinish();
    }
    glFinish();
    return us / framesPerBlock;
  };
  using AllocCount = unsigned long (*)();
  const AllocCount allocCount = reinterpret_cast<AllocCount>(dlsym(RTLD_DEFAULT, "bench_shim_allocs"));
  const AllocCount exeAllocCount = reinterpret_cast<AllocCount>(dlsym(RTLD_DEFAULT, "bench_shim_exe_allocs"));
  unsigned long layerAllocs = 0, directAllocs = 0, layerExeAllocs = 0;
  std::vector<double> layerUs, directUs;
  layerUs.reserve(blocks);  // so that no growth falls inside a counted block
  directUs.reserve(blocks);
  // The layer's first frames make what it keeps (vertex arrays, the linked
  // program); they belong to start-up, not to the counted blocks.
  for (int i = 0; i < 64; ++i) deviceFrame();
  glFinish();
  for (int b = 0; b < blocks; ++b) {
    unsigned long before = allocCount != nullptr ? allocCount() : 0;
    const unsigned long exeBefore = exeAllocCount != nullptr ? exeAllocCount() : 0;
    layerUs.push_back(runBlock(true));
    if (allocCount != nullptr) layerAllocs += allocCount() - before;
    if (exeAllocCount != nullptr) layerExeAllocs += exeAllocCount() - exeBefore;
    saveDeviceBindings();
    before = allocCount != nullptr ? allocCount() : 0;
    directUs.push_back(runBlock(false));
    if (allocCount != nullptr) directAllocs += allocCount() - before;
    restoreDeviceBindings();
  }
  const double layer = Median(layerUs), direct = Median(directUs);
  std::printf("device calls per frame (%d frames x %d blocks, median):\n", framesPerBlock, blocks);
  std::printf("  layer   %8.2f us/frame\n  direct  %8.2f us/frame\n  ratio   %8.2fx (goal < 1.3)   layer %s 50 us (goal)\n",
              layer, direct, direct > 0 ? layer / direct : 0.0, layer < 50.0 ? "<" : ">=");
  if (allocCount != nullptr) {
    // Both loops include glFinish every 32 frames (the driver's own allocations).
    const double frames = static_cast<double>(blocks) * (framesPerBlock + 64);
    std::printf("  heap allocations per frame: layer %.3f, direct %.3f (whole process)\n",
                static_cast<double>(layerAllocs) / frames, static_cast<double>(directAllocs) / frames);
    if (exeAllocCount != nullptr && std::getenv("BENCH_COUNT_EXE") != nullptr)
      std::printf("  of the layer's, asked for by the layer itself: %lu in %d frames\n", layerExeAllocs,
                  blocks * framesPerBlock);
  }

  glDeleteSamplers(1, &sampler);
  glDeleteTextures(1, &glTexture);
  glDeleteBuffers(2 * kModels, buffers);
  glDeleteVertexArrays(kModels, vaos);
  glDeleteProgram(program);
  glDeleteShader(glVs);
  glDeleteShader(glPs);
  scene.Destroy();
  gl.Close();
  return 0;
}
