// Build step of the reference program: the GLSL our layer makes from the two
// shipped shaders (D3DXCompileShader, DecodeShaderCode, TranslateShaderToGlsl
// with the options of a context that has glClipControl), written as files so
// that the reference is a plain OpenGL program at run time.
//   ostrevin_reference_glsl ASSETS_DIR OUT_DIR
// writes OUT_DIR/vs.glsl, OUT_DIR/ps.glsl and OUT_DIR/layout.txt:
//   uniform <vs|ps> <hlsl name> <glsl name> <matrix 0|1> <transpose 0|1>
//   sampler <vs|ps> <glsl name> <unit>
//   attribute <location> <byte offset> <float1..4|color>
//   posfix <glsl name>
#include <d3dx9.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "ShaderCode.h"
#include "mesh/Vertex.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool Translate(const std::string& path, const char* entry, const char* profile, ostrevin::ShaderCode* code,
               ostrevin::GlslShader* glsl) {
  const std::string text = Read(path);
  if (text.empty()) {
    std::fprintf(stderr, "%s: missing or empty\n", path.c_str());
    return false;
  }
  ID3DXBuffer* buffer = nullptr;
  ID3DXBuffer* errors = nullptr;
  const HRESULT hr = D3DXCompileShader(text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, entry, profile,
                                       0, &buffer, &errors, nullptr);
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(),
                 errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "compile failed");
    if (errors != nullptr) errors->Release();
    return false;
  }
  if (errors != nullptr) errors->Release();
  std::string error;
  const bool ok = ostrevin::DecodeShaderCode(static_cast<const DWORD*>(buffer->GetBufferPointer()),
                                             buffer->GetBufferSize(), code) &&
                  ostrevin::TranslateShaderToGlsl(*code, ostrevin::GlslOptions(), glsl, &error);
  buffer->Release();
  if (!ok) std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
  return ok;
}

const char* TypeName(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1: return "float1";
    case D3DDECLTYPE_FLOAT2: return "float2";
    case D3DDECLTYPE_FLOAT3: return "float3";
    case D3DDECLTYPE_FLOAT4: return "float4";
    case D3DDECLTYPE_D3DCOLOR: return "color";
    default: return nullptr;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ASSETS_DIR OUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string assets = argv[1], out = argv[2];
  struct {
    const char* file;
    const char* entry;
    const char* profile;
    const char* stage;
    const char* output;
  } const shaders[] = {{"vs-phong.hlsl", "main", "vs_2_0", "vs", "vs.glsl"},
                       {"ps-phong.hlsl", "pixel_shader_main", "ps_2_0", "ps", "ps.glsl"}};
  std::ostringstream layout;
  for (const auto& s : shaders) {
    ostrevin::ShaderCode code;
    ostrevin::GlslShader glsl;
    if (!Translate(assets + "/" + s.file, s.entry, s.profile, &code, &glsl)) return 1;
    std::ofstream(out + "/" + s.output, std::ios::binary) << glsl.source;
    for (const ostrevin::GlslUniform& u : glsl.uniforms) {
      std::string hlslName = "?";
      for (const ostrevin::ShaderConstant& c : code.constants)
        if (c.registerSet == D3DXRS_FLOAT4 && c.registerIndex == u.registerIndex) hlslName = c.name;
      layout << "uniform " << s.stage << ' ' << hlslName << ' ' << u.glslName << ' ' << (u.matrix ? 1 : 0) << ' '
             << (u.transpose ? 1 : 0) << '\n';
    }
    for (const ostrevin::GlslSampler& smp : glsl.samplers)
      layout << "sampler " << s.stage << ' ' << smp.glslName << ' ' << smp.samplerIndex << '\n';
  }
  for (const D3DVERTEXELEMENT9& e : g_vertexElements) {
    if (e.Stream == 0xFF) break;
    const int location = ostrevin::VertexAttributeLocation(e.Usage, e.UsageIndex);
    const char* type = TypeName(e.Type);
    if (location < 0 || type == nullptr) continue;
    layout << "attribute " << location << ' ' << e.Offset << ' ' << type << '\n';
  }
  layout << "posfix " << ostrevin::kPositionFixupUniform << '\n';
  std::ofstream file(out + "/layout.txt", std::ios::binary);
  file << layout.str();
  return file.good() ? 0 : 1;
}
