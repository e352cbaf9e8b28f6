// Time to compile the shipped Phong shaders (D3DXCompileShader) and turn
// them into GLSL (TranslateShaderToGlsl): the first pair in the process
// (glslang builds its built-in tables then) and warm repeats.
//   bench_shader [--dump]   --dump also prints the GLSL and uniform tables.
#include <d3dx9.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ShaderCode.h"

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
bool Run(const Source& s, bool dump, double* compileMs, double* translateMs) {
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
  code->Release();
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

}  // namespace

int main(int argc, char** argv) {
  const bool dump = argc > 1 && std::strcmp(argv[1], "--dump") == 0;
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

  double coldCompile = 0, coldTranslate = 0;
  for (size_t i = 0; i < sources.size(); ++i) {
    double c = 0, t = 0;
    if (!Run(sources[i], dump, &c, &t)) return 1;
    coldCompile += c;
    coldTranslate += t;
  }

  const int kRuns = 50;
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
  return 0;
}
