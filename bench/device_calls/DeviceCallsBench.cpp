// CPU cost of one frame's device calls of the demo's shape, through our
// Direct3D 9 layer and as the same GL calls made directly, in the same
// process and the same GL context (the device's):
//   layer:  BeginScene, 8 SetRenderState, 2 SetXShader, SetMatrix x4 and
//           SetVector x2 through the vertex shader's constant table (by name,
//           as the program calls them), SetTexture, 3 SetSamplerState, and per
//           model SetVertexDeclaration + SetStreamSource + SetIndices +
//           DrawIndexedPrimitive of one triangle; EndScene.
//   direct: what a plain GL program issues for that frame every frame: the
//           six state calls, glUseProgram, the uniforms, texture and sampler
//           binding, per model the world matrix, glBindVertexArray and one
//           glDrawElements.
// Only the call issue is timed: Present is not called, and glFinish runs
// every 32 frames outside the timed region. The world matrices change every
// frame, as the demo's do. Blocks of both alternate; each figure is the
// median over blocks.
//   bench_device_calls [frames per block, default 4000] [blocks, default 7]
// Needs a display (scripts/bench.sh starts Xvfb). Under LD_PRELOAD of the
// bench shim it also prints the heap allocations per frame of both loops.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <d3dx9.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestDevice.h"
#include "ShaderCode.h"
#include "mesh/Vertex.h"

namespace {

const UINT kWidth = kProgramClientWidth, kHeight = kProgramClientHeight;
const int kModels = 3;
const int kTable = 64;  // frames of precomputed matrices

double NowUs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

template <typename T>
void SafeRelease(T*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

ID3DXBuffer* CompileFile(const char* file, const char* entry, const char* profile, ID3DXConstantTable** table) {
  const std::string text = Read(std::string(OSTREVIN_SOURCE_DIR) + "/assets/" + file);
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  if (FAILED(D3DXCompileShader(text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, entry, profile, 0, &code,
                               &errors, table))) {
    std::fprintf(stderr, "%s: %s\n", file, errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    SafeRelease(errors);
    return nullptr;
  }
  SafeRelease(errors);
  return code;
}

bool ToGlsl(ID3DXBuffer* code, ostrevin::GlslShader* glsl) {
  ostrevin::ShaderCode decoded;
  std::string error;
  return ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()), code->GetBufferSize(),
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

struct Frame {
  D3DXMATRIX viewProjection;
  D3DXMATRIX world[kModels];
};

}  // namespace

int main(int argc, char** argv) {
  const int framesPerBlock = argc > 1 ? std::max(64, std::atoi(argv[1])) : 4000;
  const int blocks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

  TestDevice gl;
  if (const char* failed = gl.OpenProgramShape(L"DeviceCallsBench")) {
    std::fprintf(stderr, "bench_device_calls: %s (no display?)\n", failed);
    return 1;
  }
  IDirect3DDevice9* dev = gl.device;

  // The shipped shaders, through the layer and as GLSL for the direct loop.
  ID3DXConstantTable* constants = nullptr;
  ID3DXConstantTable* psConstants = nullptr;
  ID3DXBuffer* vsCode = CompileFile("vs-phong.hlsl", "main", "vs_2_0", &constants);
  ID3DXBuffer* psCode = CompileFile("ps-phong.hlsl", "pixel_shader_main", "ps_2_0", &psConstants);
  if (vsCode == nullptr || psCode == nullptr) return 1;
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps = nullptr;
  dev->CreateVertexShader(static_cast<const DWORD*>(vsCode->GetBufferPointer()), &vs);
  dev->CreatePixelShader(static_cast<const DWORD*>(psCode->GetBufferPointer()), &ps);
  IDirect3DVertexDeclaration9* decl = nullptr;
  dev->CreateVertexDeclaration(g_vertexElements, &decl);
  if (vs == nullptr || ps == nullptr || decl == nullptr) return 1;

  // One triangle per model, in its own buffers as the demo's meshes are.
  CVertex tri[3];
  std::memset(tri, 0, sizeof(tri));
  tri[0].m_position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  tri[1].m_position = D3DXVECTOR3(0.5f, 0.0f, 0.0f);
  tri[2].m_position = D3DXVECTOR3(0.0f, 0.5f, 0.0f);
  for (CVertex& v : tri) v.m_color = 0xFFFFFFFF, v.m_normal = D3DXVECTOR3(0, 0, -1);
  const WORD triIndices[3] = {0, 1, 2};
  IDirect3DVertexBuffer9* vbs[kModels] = {};
  IDirect3DIndexBuffer9* ibs[kModels] = {};
  for (int i = 0; i < kModels; ++i) {
    void* p = nullptr;
    dev->CreateVertexBuffer(sizeof(tri), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vbs[i], nullptr);
    dev->CreateIndexBuffer(sizeof(triIndices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ibs[i], nullptr);
    if (vbs[i] == nullptr || ibs[i] == nullptr) return 1;
    vbs[i]->Lock(0, 0, &p, 0);
    std::memcpy(p, tri, sizeof(tri));
    vbs[i]->Unlock();
    ibs[i]->Lock(0, 0, &p, 0);
    std::memcpy(p, triIndices, sizeof(triIndices));
    ibs[i]->Unlock();
  }
  IDirect3DTexture9* texture = nullptr;
  dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
  if (texture == nullptr) return 1;
  {
    D3DLOCKED_RECT rect;
    texture->LockRect(0, &rect, nullptr, 0);
    for (int y = 0; y < 4; ++y) std::memset(static_cast<char*>(rect.pBits) + y * rect.Pitch, 0x80, 16);
    texture->UnlockRect(0);
  }

  // Matrices of kTable frames: the demo's projection, swinging worlds.
  std::vector<Frame> table(kTable);
  {
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(25, 75, 75), at(0, 30, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, static_cast<float>(D3DX_PI / 3.0), 4.0f / 3.0f, 1.0f, 200.0f);
    for (int f = 0; f < kTable; ++f) {
      D3DXMatrixMultiply(&table[f].viewProjection, &view, &projection);
      for (int m = 0; m < kModels; ++m) D3DXMatrixRotationZ(&table[f].world[m], 0.03f * static_cast<float>(f + m));
    }
  }
  const D3DXVECTOR4 light(250, 100, 100, 0), cam(25, 75, 75, 1);

  // The direct loop's objects, in the device's context.
  ostrevin::GlslShader vsGlsl, psGlsl;
  if (!ToGlsl(vsCode, &vsGlsl) || !ToGlsl(psCode, &psGlsl)) return 1;
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
    glBindVertexArray(vaos[i]);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[2 * i]);
    glBufferData(GL_ARRAY_BUFFER, sizeof(tri), tri, GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[2 * i + 1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(triIndices), triIndices, GL_STATIC_DRAW);
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

  auto deviceFrame = [&](const Frame& f) {
    dev->BeginScene();
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetPixelShader(ps);
    dev->SetVertexShader(vs);
    constants->SetMatrix(dev, "mViewProjection", &f.viewProjection);
    constants->SetVector(dev, "vLight", &light);
    constants->SetVector(dev, "vCam", &cam);
    dev->SetTexture(0, texture);
    dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    for (int m = 0; m < kModels; ++m) {
      constants->SetMatrix(dev, "mWorld", &f.world[m]);
      dev->SetVertexDeclaration(decl);
      dev->SetStreamSource(0, vbs[m], 0, kVertexStride);
      dev->SetIndices(ibs[m]);
      dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
    }
    dev->EndScene();
  };
  auto directFrame = [&](const Frame& f) {
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glUseProgram(program);
    glUniformMatrix4fv(vpLoc, 1, GL_FALSE, static_cast<const float*>(f.viewProjection));
    glUniform4fv(lightLoc, 1, static_cast<const float*>(light));
    glUniform4fv(camLoc, 1, static_cast<const float*>(cam));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, glTexture);
    glBindSampler(0, sampler);
    for (int m = 0; m < kModels; ++m) {
      glUniformMatrix4fv(worldLoc, 1, GL_FALSE, static_cast<const float*>(f.world[m]));
      glBindVertexArray(vaos[m]);
      glDrawElements(GL_TRIANGLES, 3, GL_UNSIGNED_SHORT, nullptr);
    }
  };

  // Timed blocks: frame issue only; glFinish every 32 frames untimed.
  auto runBlock = [&](bool layer) {
    for (int i = 0; i < 64; ++i) layer ? deviceFrame(table[i % kTable]) : directFrame(table[i % kTable]);
    glFinish();
    double us = 0.0;
    for (int i = 0; i < framesPerBlock; ++i) {
      const Frame& f = table[i % kTable];
      const double t0 = NowUs();
      if (layer) deviceFrame(f);
      else directFrame(f);
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
  for (int i = 0; i < 64; ++i) deviceFrame(table[i % kTable]);
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
  SafeRelease(texture);
  for (int i = 0; i < kModels; ++i) SafeRelease(vbs[i]), SafeRelease(ibs[i]);
  SafeRelease(decl);
  SafeRelease(vs);
  SafeRelease(ps);
  SafeRelease(constants);
  SafeRelease(psConstants);
  SafeRelease(vsCode);
  SafeRelease(psCode);
  gl.Close();
  return 0;
}
