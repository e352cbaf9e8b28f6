// The shader-code format and the SPIR-V -> GLSL translation the OpenGL
// device uses. glslang compiles and links the emitted GLSL as 3.30 core.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <regex>
#include <sstream>

#include "fake/FakeDevice.h"
#include "hlsl/HlslTestUtil.h"

namespace {

using hlsltest::Compile;
using hlsltest::Compiled;
using ostrevin::GlslShader;

GlslShader Translate(const Compiled& c, bool remapDepth = false) {
  GlslShader out;
  std::string error;
  ostrevin::GlslOptions options;
  options.remapDepth = remapDepth;
  EXPECT_TRUE(ostrevin::TranslateShaderToGlsl(c.Decode(), options, &out, &error)) << error;
  return out;
}

// "<qualifier> <type> <name>;" declarations of the interface, name -> type.
std::map<std::string, std::string> Interface(const std::string& source, const std::string& qualifier) {
  std::map<std::string, std::string> found;
  const std::regex decl("^(?:layout\\(location = \\d+\\) )?" + qualifier + " (\\w+) (\\w+);$");
  std::istringstream in(source);
  std::string line;
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_match(line, m, decl)) found[m[2]] = m[1];
  }
  return found;
}

class ShippedShaders : public ::testing::Test {
 protected:
  void SetUp() override {
    Compile(&vs, hlsltest::ReadAsset("vs-phong.hlsl"), "main", "vs_2_0");
    Compile(&ps, hlsltest::ReadAsset("ps-phong.hlsl"), "pixel_shader_main", "ps_2_0");
    ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
    ASSERT_EQ(ps.hr, D3D_OK) << ps.Messages();
  }
  Compiled vs, ps;
};

TEST_F(ShippedShaders, TranslateToValidGlsl330ThatLinks) {
  const GlslShader v = Translate(vs);
  const GlslShader p = Translate(ps);
  EXPECT_EQ(v.source.rfind("#version 330\n", 0), 0u);
  EXPECT_EQ(p.source.rfind("#version 330\n", 0), 0u);
  EXPECT_NE(v.source.find("uniform vec4 ostrevin_posfix;"), std::string::npos);
  EXPECT_NE(v.source.find("gl_Position = "), std::string::npos);
  // The fix-up is main's last statement.
  const std::string tail = "    gl_Position.xy += ostrevin_posfix.xy * gl_Position.w;\n}\n";
  std::string trimmed = v.source;
  while (trimmed.size() > 2 && trimmed[trimmed.size() - 2] == '\n') trimmed.pop_back();
  ASSERT_GE(trimmed.size(), tail.size());
  EXPECT_EQ(trimmed.substr(trimmed.size() - tail.size()), tail) << v.source;
  EXPECT_EQ(v.source.find("gl_Position.z = 2.0"), std::string::npos);
  EXPECT_NE(p.source.find("layout(location = 0) out vec4 out_COLOR0;"), std::string::npos) << p.source;
  for (const std::string& s : {v.source, p.source}) {
    EXPECT_EQ(s.find("#extension"), std::string::npos) << s;
    EXPECT_EQ(s.find("binding"), std::string::npos) << s;
  }
  EXPECT_EQ(hlsltest::GlslLinkErrors(v.source, p.source), "");

  const GlslShader remapped = Translate(vs, true);
  EXPECT_NE(remapped.source.find("    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n}\n"), std::string::npos);
  EXPECT_EQ(hlsltest::GlslLinkErrors(remapped.source, p.source), "");
}

TEST_F(ShippedShaders, VaryingsMeetBySemanticAndInputsSitAtTheirLocations) {
  const GlslShader v = Translate(vs);
  const GlslShader p = Translate(ps);
  const auto outs = Interface(v.source, "out");
  const auto ins = Interface(p.source, "in");
  ASSERT_FALSE(ins.empty());
  for (const auto& in : ins) {
    auto it = outs.find(in.first);
    ASSERT_NE(it, outs.end()) << in.first << " is not written by the vertex shader";
    EXPECT_EQ(it->second, in.second) << in.first;
  }
  EXPECT_EQ(ins.count("v_TEXCOORD0"), 1u);
  EXPECT_EQ(ins.count("v_COLOR0"), 1u);
  for (const char* decl :
       {"layout(location = 0) in vec3 in_POSITION0;", "layout(location = 1) in vec3 in_NORMAL0;",
        "layout(location = 2) in vec3 in_NORMAL1;", "layout(location = 3) in vec3 in_NORMAL2;",
        "layout(location = 4) in vec4 in_TEXCOORD0;", "layout(location = 12) in vec4 in_COLOR0;"}) {
    EXPECT_NE(v.source.find(decl), std::string::npos) << decl << "\n" << v.source;
  }
}

TEST_F(ShippedShaders, UniformAndSamplerTables) {
  const GlslShader v = Translate(vs);
  ASSERT_EQ(v.uniforms.size(), 4u);
  struct Want {
    const char* glslName;
    const char* constant;
    uint32_t count, rows, columns;
    bool matrix, transpose;
  } want[] = {{"vs_c.mViewProjection", "mViewProjection", 4, 4, 4, true, true},
              {"vs_c.mWorld", "mWorld", 4, 4, 4, true, true},
              {"vs_c.vLight", "vLight", 1, 1, 4, false, false},
              {"vs_c.vCam", "vCam", 1, 1, 4, false, false}};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(want[i].glslName);
    const ostrevin::GlslUniform& u = v.uniforms[i];
    EXPECT_EQ(u.glslName, want[i].glslName);
    D3DXCONSTANT_DESC d = {};
    UINT n = 1;
    ASSERT_EQ(vs.table->GetConstantDesc(want[i].constant, &d, &n), D3D_OK);
    EXPECT_EQ(u.registerIndex, d.RegisterIndex);
    EXPECT_EQ(u.registerCount, want[i].count);
    EXPECT_EQ(u.rows, want[i].rows);
    EXPECT_EQ(u.columns, want[i].columns);
    EXPECT_EQ(u.elements, 1u);
    EXPECT_EQ(u.matrix, want[i].matrix);
    EXPECT_EQ(u.transpose, want[i].transpose);
  }
  EXPECT_TRUE(v.samplers.empty());

  const GlslShader p = Translate(ps);
  EXPECT_TRUE(p.uniforms.empty());
  ASSERT_EQ(p.samplers.size(), 1u);
  EXPECT_EQ(p.samplers[0].glslName, "ps_diffuseMap");
  EXPECT_EQ(p.samplers[0].samplerIndex, 0u);
  EXPECT_NE(p.source.find("uniform sampler2D ps_diffuseMap;"), std::string::npos);
}

// The device's variants are options of the translation: each changes the
// GLSL where it says, an option with nothing to act on changes nothing, and
// the pair still links.
TEST_F(ShippedShaders, VariantOptionsChangeOnlyWhatTheyName) {
  auto translate = [](const Compiled& c, const ostrevin::GlslOptions& options) {
    GlslShader out;
    std::string error;
    EXPECT_TRUE(ostrevin::TranslateShaderToGlsl(c.Decode(), options, &out, &error)) << error;
    return out.source;
  };
  const std::string plainPs = Translate(ps).source;
  ostrevin::GlslOptions idle;
  idle.srgbSamplers = 1u << 3;    // no such sampler in the shader
  idle.alphaFunc = D3DCMP_ALWAYS;  // a test that never fails
  idle.swappedColourInputs[D3DDECLUSAGE_COLOR] = 1u << 1;  // no COLOR1 input
  EXPECT_EQ(translate(ps, idle), plainPs);
  EXPECT_EQ(translate(vs, idle), Translate(vs).source);

  ostrevin::GlslOptions all;
  all.flatColours = true;
  all.srgbSamplers = 1;
  all.srgbWrite = true;
  all.alphaFunc = D3DCMP_LESS;
  all.swappedColourInputs[D3DDECLUSAGE_COLOR] = 1;  // D3DCOLOR bytes fed as RGBA: read swapped
  const std::string v = translate(vs, all), p = translate(ps, all);
  EXPECT_NE(v.find("flat out vec4 v_COLOR0;"), std::string::npos) << v;
  EXPECT_NE(v.find("layout(location = 12) in vec4 in_COLOR0;"), std::string::npos) << v;
  EXPECT_NE(v.find("vsi_COLOR0 = vec4(in_COLOR0.zyxw);"), std::string::npos) << v;
  EXPECT_NE(p.find("flat in vec4 v_COLOR0;"), std::string::npos) << p;
  EXPECT_NE(p.find("ostrevin_srgb_decode(texture(ps_diffuseMap"), std::string::npos) << p;
  EXPECT_NE(p.find("uniform float ostrevin_alpharef;"), std::string::npos) << p;
  EXPECT_NE(p.find("if (!(ostrevin_a < ostrevin_alpharef)) discard;"), std::string::npos) << p;
  EXPECT_NE(p.find("out_COLOR0.rgb = mix(1.055 * pow("), std::string::npos) << p;
  EXPECT_EQ(hlsltest::GlslLinkErrors(v, p), "");
  all.alphaFunc = D3DCMP_NEVER;
  EXPECT_NE(translate(ps, all).find("discard;"), std::string::npos);
}

// The web build's output: GLSL ES 3.00, high precision, with every variant
// option still linking; VPOS has no ES form and is refused.
TEST_F(ShippedShaders, Es300OutputLinksAndVposIsRefused) {
  auto translate = [](const Compiled& c, ostrevin::GlslOptions options, std::string* error = nullptr) {
    GlslShader out;
    std::string local;
    options.es300 = true;
    const bool ok = ostrevin::TranslateShaderToGlsl(c.Decode(), options, &out, error != nullptr ? error : &local);
    if (error == nullptr) {
      EXPECT_TRUE(ok) << local;
    }
    return ok ? out.source : std::string();
  };
  ostrevin::GlslOptions all;
  all.remapDepth = true;
  all.srgbSamplers = 1;
  all.srgbWrite = true;
  all.alphaFunc = D3DCMP_LESS;
  all.swappedColourInputs[D3DDECLUSAGE_COLOR] = 1;
  for (const ostrevin::GlslOptions& options : {ostrevin::GlslOptions(), all}) {
    const std::string v = translate(vs, options), p = translate(ps, options);
    EXPECT_EQ(v.rfind("#version 300 es\n", 0), 0u) << v;
    EXPECT_EQ(p.rfind("#version 300 es\n", 0), 0u) << p;
    EXPECT_NE(p.find("precision highp float;"), std::string::npos) << p;
    EXPECT_EQ(hlsltest::GlslLinkErrors(v, p), "");
  }
  Compiled vpos;
  Compile(&vpos, "float4 main(float2 p : VPOS) : COLOR { return p.xyxy; }\n", "main", "ps_3_0");
  ASSERT_EQ(vpos.hr, D3D_OK) << vpos.Messages();
  std::string error;
  EXPECT_EQ(translate(vpos, {}, &error), "");
  EXPECT_NE(error.find("VPOS"), std::string::npos) << error;
}

TEST_F(ShippedShaders, TranslationIsDeterministic) {
  EXPECT_EQ(Translate(vs).source, Translate(vs).source);
  EXPECT_EQ(Translate(ps).source, Translate(ps).source);
}

// Registers written by SetMatrix, uploaded the way the uniform table says,
// give the GLSL expression `M * v` the value of HLSL's mul(v, M).
TEST(GlslUniforms, UploadedRegistersReproduceHlslMul) {
  for (DWORD flags : {DWORD(0), DWORD(D3DXSHADER_PACKMATRIX_ROWMAJOR)}) {
    SCOPED_TRACE(flags);
    Compiled vs;
    Compile(&vs, "float4x4 m;\nfloat4 main(float4 p : POSITION) : POSITION { return mul(p, m); }\n", "main",
            "vs_2_0", nullptr, nullptr, flags);
    ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
    const GlslShader glsl = Translate(vs);
    ASSERT_EQ(glsl.uniforms.size(), 1u);
    const ostrevin::GlslUniform& u = glsl.uniforms[0];
    EXPECT_NE(glsl.source.find("vs_c.m * "), std::string::npos) << glsl.source;

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), D3D_OK);
    const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17);
    ASSERT_EQ(vs.table->SetMatrix(device, "m", &m), D3D_OK);
    float regs[16];
    ASSERT_EQ(device->GetVertexShaderConstantF(u.registerIndex, regs, 4), D3D_OK);
    device->Release();
    d3d->Release();

    // glUniformMatrix4fv: column-major data unless transposed; G[col][row].
    float g[4][4];
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        if (u.transpose) g[j][i] = regs[i * 4 + j];  // register i is row i
        else g[i][j] = regs[i * 4 + j];              // register i is column i
      }
    }
    const float v[4] = {0.5f, -2.0f, 3.0f, 1.0f};
    for (int row = 0; row < 4; ++row) {
      float glslValue = 0, hlslValue = 0;
      for (int k = 0; k < 4; ++k) {
        glslValue += g[k][row] * v[k];
        hlslValue += v[k] * m.m[k][row];
      }
      EXPECT_FLOAT_EQ(glslValue, hlslValue) << "component " << row;
    }
  }
}

TEST(GlslTranslator, RejectsWhatTheDeviceCannotUse) {
  ostrevin::ShaderCode code;
  GlslShader out;
  std::string error;
  EXPECT_FALSE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error));
  EXPECT_FALSE(error.empty());

  code.spirv = {0x07230203u, 0x00010000u, 0, 100, 0, 0xDEADBEEFu, 0x12345678u};  // header, then garbage
  error.clear();
  EXPECT_FALSE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error));
  EXPECT_FALSE(error.empty());

  // A pixel shader's SPIR-V labelled as vertex code.
  Compiled ps;
  Compile(&ps, "float4 main() : COLOR { return 1; }\n", "main", "ps_2_0");
  ASSERT_EQ(ps.hr, D3D_OK);
  code = ps.Decode();
  code.stage = ostrevin::ShaderStage::Vertex;
  EXPECT_FALSE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error));

  // An image of no dimension: SPIRV-Cross would index its tables with it.
  Compiled sampling;
  Compile(&sampling, "sampler2D s;\nfloat4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv); }\n", "main",
          "ps_2_0");
  ASSERT_EQ(sampling.hr, D3D_OK) << sampling.Messages();
  code = sampling.Decode();
  ASSERT_TRUE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error)) << error;
  bool patched = false;
  for (size_t i = 5; i < code.spirv.size() && !patched; i += code.spirv[i] >> 16) {
    if ((code.spirv[i] & 0xFFFF) == 25 /* OpTypeImage */) code.spirv[i + 3] = 0xFFFFFFFFu, patched = true;
    if ((code.spirv[i] >> 16) == 0) break;
  }
  ASSERT_TRUE(patched);
  error.clear();
  EXPECT_FALSE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error));
  EXPECT_NE(error.find("invalid SPIR-V"), std::string::npos) << error;

  // A member semantic of a member far past its struct's: SPIRV-Cross would
  // make room for all the members before it (gigabytes).
  Compiled phong;
  Compile(&phong, hlsltest::ReadAsset("vs-phong.hlsl"), "main", "vs_2_0");
  ASSERT_EQ(phong.hr, D3D_OK) << phong.Messages();
  code = phong.Decode();
  patched = false;
  for (size_t i = 5; i < code.spirv.size() && !patched; i += code.spirv[i] >> 16) {
    if ((code.spirv[i] & 0xFFFF) == 5633 /* OpMemberDecorateString */) code.spirv[i + 2] = 0x0FFFFFFFu, patched = true;
    if ((code.spirv[i] >> 16) == 0) break;
  }
  ASSERT_TRUE(patched);
  error.clear();
  EXPECT_FALSE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error));
  EXPECT_NE(error.find("member index"), std::string::npos) << error;

  // A table that lacks a constant the SPIR-V uses.
  Compiled vs;
  Compile(&vs, "float4 k;\nfloat4 main() : POSITION { return k; }\n", "main", "vs_2_0");
  ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
  code = vs.Decode();
  code.constants.clear();
  EXPECT_FALSE(ostrevin::TranslateShaderToGlsl(code, {}, &out, &error));
  EXPECT_NE(error.find("'k'"), std::string::npos) << error;
}

// ---------------------------------------------------------- shader code

TEST(ShaderCodeFormat, RoundTripAndEveryTruncationFails) {
  ostrevin::ShaderCode code;
  code.stage = ostrevin::ShaderStage::Pixel;
  code.majorVersion = 3;
  code.minorVersion = 0;
  ostrevin::ShaderConstant a;
  a.name = "mWorld";
  a.registerIndex = 4;
  a.registerCount = 4;
  a.parameterClass = D3DXPC_MATRIX_COLUMNS;
  a.rows = a.columns = 4;
  ostrevin::ShaderConstant s;
  s.name = "tex";
  s.registerSet = D3DXRS_SAMPLER;
  s.registerCount = 1;
  s.parameterClass = D3DXPC_OBJECT;
  s.parameterType = D3DXPT_SAMPLER2D;
  s.rows = s.columns = 1;
  code.constants = {a, s};
  code.spirv = {0x07230203u, 1, 2, 3, 4};
  const std::vector<uint32_t> words = ostrevin::EncodeShaderCode(code);
  const size_t bytes = words.size() * 4;
  EXPECT_EQ(ostrevin::ShaderCodeSize(words.data()), bytes);

  ostrevin::ShaderCode back;
  ASSERT_TRUE(ostrevin::DecodeShaderCode(words.data(), bytes, &back));
  ASSERT_TRUE(ostrevin::DecodeShaderCode(words.data(), 0, &back));
  EXPECT_EQ(back.stage, code.stage);
  EXPECT_EQ(back.majorVersion, 3u);
  ASSERT_EQ(back.constants.size(), 2u);
  EXPECT_EQ(back.constants[0].name, "mWorld");
  EXPECT_EQ(back.constants[0].registerIndex, 4u);
  EXPECT_EQ(back.constants[0].parameterClass, D3DXPC_MATRIX_COLUMNS);
  EXPECT_EQ(back.constants[1].name, "tex");
  EXPECT_EQ(back.constants[1].registerSet, D3DXRS_SAMPLER);
  EXPECT_EQ(back.spirv, code.spirv);

  for (size_t n = 4; n < bytes; n += 4) {
    EXPECT_FALSE(ostrevin::DecodeShaderCode(words.data(), n, &back)) << n;
  }
  EXPECT_FALSE(ostrevin::DecodeShaderCode(nullptr, bytes, &back));
  const DWORD notOurs[1] = {0xFFFE0200u};
  EXPECT_EQ(ostrevin::ShaderCodeSize(notOurs), 0u);
}

TEST(ShaderCodeFormat, CorruptFieldsFail) {
  ostrevin::ShaderCode code;
  ostrevin::ShaderConstant c;
  c.name = "v";
  c.registerCount = 1;
  c.defaultValue = {1, 2, 3, 4};
  code.constants = {c};
  code.spirv = {0x07230203u};
  const std::vector<uint32_t> good = ostrevin::EncodeShaderCode(code);
  ostrevin::ShaderCode decoded;
  ASSERT_TRUE(ostrevin::DecodeShaderCode(good.data(), good.size() * 4, &decoded));
  EXPECT_EQ(decoded.constants.at(0).defaultValue, c.defaultValue);
  // Header words: magic, version, bytes, stage, major, minor, count,
  // constants, names, namesBytes, defaults, defaultsWords, spirv,
  // spirvWords; then the record. Earlier versions are layouts without
  // default values or structure members: a cache entry of one is refused,
  // not misread.
  constexpr size_t r = 14;
  struct Patch {
    size_t word;
    uint32_t value;
  } patches[] = {{0, 0},
                 {1, 1},
                 {1, ostrevin::kShaderCodeVersion - 1},
                 {1, ostrevin::kShaderCodeVersion + 1},
                 {2, 3},          {2, 0xFFFFFFF0u}, {3, 7},          {6, 0x7FFFFFFFu}, {6, 2},
                 {7, 0},          {8, 0xFFFFFFFFu}, {9, 0xFFFFFFFCu}, {10, 0},        {10, 0xFFFFFFFFu},
                 {11, 0},         {11, 9999},      {12, 0},         {13, 9999},      {r + 0, 100},
                 {r + 1, 0},      {r + 1, 50},     {r + 2, 9},      {r + 4, 70000},  {r + 5, 99},
                 {r + 7, 0},      {r + 8, 5},      {r + 9, 0},      {r + 10, 2},     {r + 11, 1},
                 {r + 12, 3},     {r + 12, 8}};
  for (const Patch& p : patches) {
    std::vector<uint32_t> bad = good;
    ASSERT_LT(p.word, bad.size());
    bad[p.word] = p.value;
    ostrevin::ShaderCode out;
    EXPECT_FALSE(ostrevin::DecodeShaderCode(bad.data(), bad.size() * 4, &out)) << "word " << p.word;
  }
  // The name must be terminated inside the name area.
  std::vector<uint32_t> bad = good;
  bad[good[8]] = 0x41414141u;
  ostrevin::ShaderCode out;
  EXPECT_FALSE(ostrevin::DecodeShaderCode(bad.data(), bad.size() * 4, &out));

  // The table makes a handle of every array element: a few thousand
  // constants of 65,536 elements each (a 200 KB buffer) would be billions.
  ostrevin::ShaderConstant array = c;
  array.defaultValue.clear();
  array.elements = 40000;
  ostrevin::ShaderCode arrays;
  arrays.constants = {array};
  arrays.spirv = {0x07230203u};
  std::vector<uint32_t> words = ostrevin::EncodeShaderCode(arrays);
  EXPECT_TRUE(ostrevin::DecodeShaderCode(words.data(), words.size() * 4, &out));
  arrays.constants.push_back(array);
  words = ostrevin::EncodeShaderCode(arrays);
  EXPECT_FALSE(ostrevin::DecodeShaderCode(words.data(), words.size() * 4, &out));
}

TEST(ShaderCodeFormat, VertexAttributeLocations) {
  struct Case {
    BYTE usage, index;
    int location;
  } cases[] = {{D3DDECLUSAGE_POSITION, 0, 0},  {D3DDECLUSAGE_NORMAL, 0, 1},   {D3DDECLUSAGE_NORMAL, 1, 2},
               {D3DDECLUSAGE_NORMAL, 2, 3},    {D3DDECLUSAGE_TEXCOORD, 0, 4}, {D3DDECLUSAGE_TEXCOORD, 7, 11},
               {D3DDECLUSAGE_COLOR, 0, 12},    {D3DDECLUSAGE_COLOR, 1, 13},   {D3DDECLUSAGE_TANGENT, 0, 14},
               {D3DDECLUSAGE_BINORMAL, 0, 15}, {D3DDECLUSAGE_POSITION, 1, -1}, {D3DDECLUSAGE_NORMAL, 3, -1},
               {D3DDECLUSAGE_TEXCOORD, 8, -1}, {D3DDECLUSAGE_COLOR, 2, -1},   {D3DDECLUSAGE_BLENDWEIGHT, 0, -1},
               {D3DDECLUSAGE_PSIZE, 0, -1},    {D3DDECLUSAGE_TANGENT, 1, -1}, {200, 0, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(ostrevin::VertexAttributeLocation(c.usage, c.index), c.location)
        << int(c.usage) << "/" << int(c.index);
  }
}

}  // namespace
