// Time to compile the shipped Phong shaders (D3DXCompileShader) and turn
// them into GLSL (TranslateShaderToGlsl): the first pair in the process
// (glslang builds its built-in tables then) and warm repeats. Where a
// display opens, the pair also goes onto a device as the program's start
// does: CreateVertexShader/CreatePixelShader (GLSL compiled by the driver),
// the first draw with them (the program linked, and llvmpipe's own compile)
// up to glFinish, and the demo's texture through D3DXCreateTextureFromFileW.
// Then every shader of the HLSL corpus (tests/hlsl/corpus) compiled and
// translated once a round: the time per shader, cold (without the cache).
//   bench_shader [--dump] [--once]   --dump also prints the GLSL and uniform
//   tables; --once runs everything once and leaves the device out (for a
//   profiler such as callgrind).
// It times the compiler, so the cache of compiled shaders is off unless
// OSTREVIN_SHADER_CACHE is set.
#define GL_GLEXT_PROTOTYPES 1
#include <sys/resource.h>

#include <GL/glcorearb.h>
#include <d3dx9.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestDevice.h"
#include "ShaderCode.h"
#include "mesh/Vertex.h"

namespace {

struct Source {
  const char* file;
  const char* entry;
  const char* profile;
  std::string text;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// Compiles and translates one shader; times go to *compileMs / *translateMs.
// With keep, the compiled code is handed back in *kept.
bool Run(const Source& s, bool dump, double* compileMs, double* translateMs, ID3DXBuffer** kept = nullptr) {
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  const auto t0 = Clock::now();
  HRESULT hr = D3DXCompileShader(s.text.data(), static_cast<UINT>(s.text.size()), nullptr, nullptr, s.entry,
                                 s.profile, 0, &code, &errors, nullptr);
  const auto t1 = Clock::now();
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s: %s\n", s.file, errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    if (errors) errors->Release();
    return false;
  }
  if (errors) errors->Release();
  ostrevin::ShaderCode decoded;
  ostrevin::GlslShader glsl;
  std::string error;
  const auto t2 = Clock::now();
  bool ok = ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()), code->GetBufferSize(),
                                       &decoded) &&
            ostrevin::TranslateShaderToGlsl(decoded, ostrevin::GlslOptions(), &glsl, &error);
  const auto t3 = Clock::now();
  if (kept != nullptr) *kept = code;
  else code->Release();
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", s.file, error.c_str());
    return false;
  }
  *compileMs = Ms(t0, t1);
  *translateMs = Ms(t2, t3);
  if (dump) {
    std::printf("===== %s (%s, %s)\n%s", s.file, s.entry, s.profile, glsl.source.c_str());
    std::printf("----- uniforms: glslName registerIndex registerCount rows columns elements matrix transpose\n");
    for (const ostrevin::GlslUniform& u : glsl.uniforms) {
      std::printf("%s %u %u %u %u %u %d %d\n", u.glslName.c_str(), u.registerIndex, u.registerCount, u.rows,
                  u.columns, u.elements, u.matrix, u.transpose);
    }
    std::printf("----- samplers: glslName samplerIndex\n");
    for (const ostrevin::GlslSampler& smp : glsl.samplers) std::printf("%s %u\n", smp.glslName.c_str(), smp.samplerIndex);
  }
  return true;
}

// The compiled pair onto the device and through a first draw; prints the times.
bool OnDevice(IDirect3DDevice9* dev, ID3DXBuffer* vsCode, ID3DXBuffer* psCode, double coldMs) {
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps = nullptr;
  IDirect3DVertexDeclaration9* decl = nullptr;
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  IDirect3DTexture9* texture = nullptr;
  bool ok = SUCCEEDED(dev->CreateVertexDeclaration(g_vertexElements, &decl)) &&
            SUCCEEDED(dev->CreateVertexBuffer(3 * sizeof(CVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb,
                                              nullptr)) &&
            SUCCEEDED(dev->CreateIndexBuffer(6, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
  if (ok) {
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memset(p, 0, 3 * sizeof(CVertex));
    vb->Unlock();
    const WORD indices[3] = {0, 1, 2};
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, indices, sizeof(indices));
    ib->Unlock();
  }
  const auto t0 = Clock::now();
  ok = ok && SUCCEEDED(dev->CreateVertexShader(static_cast<const DWORD*>(vsCode->GetBufferPointer()), &vs)) &&
       SUCCEEDED(dev->CreatePixelShader(static_cast<const DWORD*>(psCode->GetBufferPointer()), &ps));
  const auto t1 = Clock::now();
  if (ok) {
    dev->BeginScene();
    dev->SetVertexShader(vs);
    dev->SetPixelShader(ps);
    dev->SetVertexDeclaration(decl);
    dev->SetStreamSource(0, vb, 0, sizeof(CVertex));
    dev->SetIndices(ib);
    ok = SUCCEEDED(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1));
    dev->EndScene();
    glFinish();
  }
  const auto t2 = Clock::now();
  const std::wstring texturePath = std::wstring(OSTREVIN_DEMO_DIR_W) + L"/Data/panel-01-diff.dds";
  const HRESULT hrTexture = D3DXCreateTextureFromFileW(dev, texturePath.c_str(), &texture);
  glFinish();
  const auto t3 = Clock::now();
  if (ok) {
    const double create = Ms(t0, t1), draw = Ms(t1, t2);
    std::printf("on the device (the program's start):\n");
    std::printf("  CreateVertexShader + CreatePixelShader %.2f ms, first draw to glFinish %.2f ms\n", create, draw);
    std::printf("  shaders ready, cold: %.2f ms (goal: under 50 ms)\n", coldMs + create + draw);
    if (SUCCEEDED(hrTexture)) {
      D3DSURFACE_DESC desc;
      texture->GetLevelDesc(0, &desc);
      std::printf("  texture Data/panel-01-diff.dds (%ux%u, %lu levels): %.2f ms\n", desc.Width, desc.Height,
                  static_cast<unsigned long>(texture->GetLevelCount()), Ms(t2, t3));
    } else {
      std::printf("  texture Data/panel-01-diff.dds: not loaded (0x%08lx)\n", static_cast<unsigned long>(hrTexture));
    }
  }
  for (IUnknown* u : std::initializer_list<IUnknown*>{texture, ib, vb, decl, ps, vs})
    if (u != nullptr) u->Release();
  return ok;
}

// #include "x" from the shader's own folder.
class FolderInclude : public ID3DXInclude {
 public:
  explicit FolderInclude(std::string dir) : m_dir(std::move(dir)) {}
  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    m_open.push_back(std::make_unique<std::string>(Read(m_dir + "/" + name)));
    if (m_open.back()->empty()) return E_FAIL;
    *data = m_open.back()->data();
    *bytes = static_cast<UINT>(m_open.back()->size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID) override { return S_OK; }

 private:
  std::string m_dir;
  std::vector<std::unique_ptr<std::string>> m_open;
};

// CPU time of the process and of its children waited for (glslang's parse
// runs in a child), in ms: less disturbed by other processes than the clock.
double CpuMs() {
  double ms = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    ms += (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
  }
  return ms;
}

// The corpus's shaders (manifest.tsv: file, entry, profile, stage, pair,
// macros, expectation), each compiled and translated once a round; prints
// the median round's time per shader, by the clock and in CPU time.
void CorpusFigure(int rounds) {
  const std::string dir = std::string(OSTREVIN_SOURCE_DIR) + "/tests/hlsl/corpus";
  struct Shader {
    std::string file, entry, profile, text;
    std::vector<std::pair<std::string, std::string>> defines;
  };
  std::vector<Shader> shaders;
  std::istringstream manifest(Read(dir + "/manifest.tsv"));
  std::string line;
  bool header = true;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (header) {
      header = false;
      continue;
    }
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() < 7 || f[6].rfind("compile-fails", 0) == 0) continue;
    Shader s{f[0], f[1], f[2], Read(dir + "/" + f[0]), {}};
    std::istringstream defines(f[5] == "-" ? "" : f[5]);
    for (std::string d; std::getline(defines, d, ';');) {
      const size_t eq = d.find('=');
      s.defines.emplace_back(d.substr(0, eq), eq == std::string::npos ? "1" : d.substr(eq + 1));
    }
    shaders.push_back(std::move(s));
  }
  std::vector<double> times, cpuRounds;
  size_t compiled = 0;
  for (int r = 0; r < rounds; ++r) {
    double total = 0;
    const double cpu0 = CpuMs();
    compiled = 0;
    for (const Shader& s : shaders) {
      std::vector<D3DXMACRO> macros;
      for (const auto& d : s.defines) macros.push_back({d.first.c_str(), d.second.c_str()});
      if (!macros.empty()) macros.push_back({nullptr, nullptr});
      FolderInclude include(std::filesystem::path(dir + "/" + s.file).parent_path().string());
      ID3DXBuffer* code = nullptr;
      const auto t0 = Clock::now();
      const HRESULT hr = D3DXCompileShader(s.text.data(), static_cast<UINT>(s.text.size()),
                                           macros.empty() ? nullptr : macros.data(), &include, s.entry.c_str(),
                                           s.profile.c_str(), 0, &code, nullptr, nullptr);
      ostrevin::ShaderCode decoded;
      ostrevin::GlslShader glsl;
      std::string error;
      if (SUCCEEDED(hr) && ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()),
                                                      code->GetBufferSize(), &decoded) &&
          ostrevin::TranslateShaderToGlsl(decoded, ostrevin::GlslOptions(), &glsl, &error)) {
        ++compiled;
      }
      total += Ms(t0, Clock::now());
      if (code != nullptr) code->Release();
    }
    times.push_back(total);
    cpuRounds.push_back(CpuMs() - cpu0);
  }
  std::sort(times.begin(), times.end());
  std::sort(cpuRounds.begin(), cpuRounds.end());
  const double median = times[times.size() / 2], cpu = cpuRounds[cpuRounds.size() / 2];
  std::printf("corpus (tests/hlsl/corpus), HLSL -> shader code -> GLSL, cold (no cache), median of %d rounds:\n",
              rounds);
  const double count = compiled != 0 ? static_cast<double>(compiled) : 1.0;
  std::printf("  %zu shaders in %.1f ms: %.2f ms per shader (CPU time %.2f ms per shader)\n", compiled, median,
              median / count, cpu / count);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("OSTREVIN_SHADER_CACHE", "0", 0);
  bool dump = false, once = false;
  for (int i = 1; i < argc; ++i) {
    dump = dump || std::strcmp(argv[i], "--dump") == 0;
    once = once || std::strcmp(argv[i], "--once") == 0;
  }
  const std::string dir = std::string(OSTREVIN_SOURCE_DIR) + "/assets/";
  std::vector<Source> sources = {{"vs-phong.hlsl", "main", "vs_2_0", {}},
                                 {"ps-phong.hlsl", "pixel_shader_main", "ps_2_0", {}}};
  for (Source& s : sources) {
    s.text = Read(dir + s.file);
    if (s.text.empty()) {
      std::fprintf(stderr, "cannot read %s%s\n", dir.c_str(), s.file);
      return 1;
    }
  }

  TestDevice gl;
  IDirect3DDevice9* dev = !once && gl.OpenProgramShape(L"ShaderBench") == nullptr ? gl.device : nullptr;

  double coldCompile = 0, coldTranslate = 0;
  ID3DXBuffer* code[2] = {nullptr, nullptr};
  for (size_t i = 0; i < sources.size(); ++i) {
    double c = 0, t = 0;
    if (!Run(sources[i], dump, &c, &t, &code[i])) return 1;
    coldCompile += c;
    coldTranslate += t;
  }

  const int kRuns = once ? 1 : 50;
  std::vector<double> compile, translate, total;
  for (int r = 0; r < kRuns; ++r) {
    double c = 0, t = 0;
    for (const Source& s : sources) {
      double ci = 0, ti = 0;
      if (!Run(s, false, &ci, &ti)) return 1;
      c += ci;
      t += ti;
    }
    compile.push_back(c);
    translate.push_back(t);
    total.push_back(c + t);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double warmTotal = median(total);
  std::printf("shader pair (vs_2_0 + ps_2_0), HLSL -> shader code -> GLSL\n");
  std::printf("  cold (first in process): compile %.2f ms, translate %.2f ms, total %.2f ms\n", coldCompile,
              coldTranslate, coldCompile + coldTranslate);
  std::printf("  warm (median of %d):     compile %.2f ms, translate %.2f ms, total %.2f ms\n", kRuns,
              median(compile), median(translate), warmTotal);
  std::printf("  cold / warm: %.1fx\n", (coldCompile + coldTranslate) / warmTotal);

  CorpusFigure(once ? 1 : 5);

  bool ok = true;
  if (dev != nullptr) ok = OnDevice(dev, code[0], code[1], coldCompile);
  else std::printf("on the device: skipped (no display)\n");
  for (ID3DXBuffer* c : code) c->Release();
  gl.Close();
  return ok ? 0 : 1;
}
