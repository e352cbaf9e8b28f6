// HLSL as Direct3D 9 programs write it: one minimal vertex/pixel pair per
// construct, compiled by D3DXCompileShader, translated, and compiled and
// linked by glslang as GLSL 3.30 core.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "hlsl/HlslTestUtil.h"

namespace {

using hlsltest::Compile;
using hlsltest::Compiled;
using ostrevin::GlslShader;

const char kPlainVs[] =
    "void main(float4 p : POSITION, out float4 oPos : POSITION, out float4 oUv : TEXCOORD0) {\n"
    "  oPos = p; oUv = p;\n}\n";
const char kPlainPs[] = "float4 main(float2 uv : TEXCOORD0) : COLOR { return uv.xyxy; }\n";

struct Pair {
  const char* what;
  const char* vs;  // entry "main", vs_3_0
  const char* ps;  // entry "main", ps_3_0
  std::vector<const char*> vsHas, psHas;  // fragments of the GLSL
};

const Pair kPairs[] = {
    {"POSITION, PSIZE and FOG written through out parameters",
     "float4x4 wvp;\n"
     "void main(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 oPos : POSITION,\n"
     "          out float2 oUv : TEXCOORD0, out float oFog : FOG, out float oSize : PSIZE) {\n"
     "  oPos = mul(p, wvp); oUv = uv; oFog = p.z; oSize = 2;\n}\n",
     kPlainPs,
     {"gl_Position = ", "gl_PointSize = ", "out vec4 v_FOG0;"},
     {}},
    {"COLOR0, COLOR1 and DEPTH written through out parameters", kPlainVs,
     "void main(float2 uv : TEXCOORD0, out float4 c0 : COLOR0, out float4 c1 : COLOR1, out float d : DEPTH) {\n"
     "  c0 = uv.xyxy; c1 = 1; d = uv.x;\n}\n",
     {},
     {"layout(location = 0) out vec4 out_COLOR0;", "layout(location = 1) out vec4 out_COLOR1;", "gl_FragDepth = "}},
    {"float4 TEXCOORD written, float2 read",
     "void main(float4 p : POSITION, out float4 oPos : POSITION, out float4 t : TEXCOORD0) { oPos = p; t = p; }\n",
     "float4 main(float2 t : TEXCOORD0) : COLOR { return t.xyxy; }\n",
     {"out vec4 v_TEXCOORD0;"},
     {"in vec4 v_TEXCOORD0;"}},
    {"float written, float3 read, in a struct",
     "struct O { float4 p : POSITION; float f : TEXCOORD3; };\n"
     "O main(float4 p : POSITION) { O o; o.p = p; o.f = p.x; return o; }\n",
     "float4 main(float3 f : TEXCOORD3) : COLOR { return f.xyzz; }\n",
     {"v_TEXCOORD3 = vec4(vso_TEXCOORD3, 0.0, 0.0, 1.0);"},
     {"in vec4 v_TEXCOORD3;"}},
    {"pixel inputs the vertex shader does not write", kPlainVs,
     "float4 main(float4 t7 : TEXCOORD7, float4 c1 : COLOR1, float2 uv : TEXCOORD0) : COLOR { return t7 + c1 + uv.x; }\n",
     {"v_TEXCOORD7 = vec4(0.0);", "v_COLOR1 = vec4(0.0);"},
     {}},
    {"centroid texture coordinates", kPlainVs,
     "float4 main(float2 uv : TEXCOORD0_centroid) : COLOR { return uv.xyxy; }\n",
     {},
     {"in vec4 v_TEXCOORD0;"}},
    {"VFACE", kPlainVs, "float4 main(float face : VFACE) : COLOR { return face; }\n",
     {},
     {"gl_FrontFacing ? 1.0 : -1.0"}},
    {"VPOS read as float2", kPlainVs, "float4 main(float2 pos : VPOS) : COLOR { return pos.xyxy / 64; }\n",
     {},
     {"layout(origin_upper_left, pixel_center_integer) in vec4 gl_FragCoord;", "gl_FragCoord.xy"}},
    {"VPOS read as float4 beside a texture coordinate", kPlainVs,
     "float4 main(float4 pos : VPOS, float2 uv : TEXCOORD0) : COLOR { return pos + uv.x; }\n",
     {},
     {"vec4(gl_FragCoord)"}},
    {"int4 BLENDINDICES and float4 BLENDWEIGHT inputs",
     "float4x4 bones[4];\n"
     "float4 main(float4 p : POSITION, int4 i : BLENDINDICES, float4 w : BLENDWEIGHT) : POSITION {\n"
     "  return mul(p, bones[i.x]) * w.x + mul(p, bones[i.y]) * w.y;\n}\n",
     "float4 main() : COLOR { return 1; }\n",
     {"in vec4 in_BLENDINDICES0;", "ivec4(in_BLENDINDICES0)"},
     {}},
    {"untyped samplers read with tex3D, texCUBE and tex1D", kPlainVs,
     "sampler s3; sampler sc; sampler s1;\n"
     "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
     "  return tex3D(s3, uv.xyx) + texCUBE(sc, uv.yxy) + tex1D(s1, uv.x);\n}\n",
     {},
     {"uniform sampler3D ps_s3;", "uniform samplerCube ps_sc;", "uniform sampler1D ps_s1;"}},
    {"flat initialisers of vector arrays",
     "static const float2 o[2] = { 0.1, 0.2,\n  0.3, 0.4 };\n"
     "void main(float4 p : POSITION, out float4 oPos : POSITION, out float4 oUv : TEXCOORD0) {\n"
     "  float3 w[2] = { 1, 2, 3,\n    4, 5, 6 };\n"
     "  oPos = p + o[1].xyxy + w[1].z; oUv = p;\n}\n",
     kPlainPs,
     {},
     {}},
    {"texture objects and sampler_state initialisers", kPlainVs,
     "texture diffuseTex < string ResourceName = \"a.dds\"; >;\n"
     "texture2D otherTex;\n"
     "sampler2D s = sampler_state { Texture = <diffuseTex>; MinFilter = Linear; };\n"
     "sampler s2 = sampler_state\n{\n  Texture = (otherTex);\n};\n"
     "float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv) + tex2D(s2, uv); }\n",
     {},
     {"uniform sampler2D ps_s;", "uniform sampler2D ps_s2;"}},
    {"an effect file's techniques and passes",
     "float4x4 wvp;\n"
     "void main(float4 p : POSITION, out float4 oPos : POSITION, out float4 oUv : TEXCOORD0) {\n"
     "  oPos = mul(p, wvp); oUv = p;\n}\n"
     "technique T < string Name = \"t\"; >\n{\n  pass P0\n  {\n    ZEnable = true;\n"
     "    VertexShader = compile vs_2_0 main();\n    PixelShader = null;\n  }\n}\n"
     "technique Other { pass { VertexShader = compile vs_2_0 main(); } }\n",
     kPlainPs,
     {"gl_Position = "},
     {}},
    {"a vector constructor as the target of an assignment", kPlainVs,
     "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
     "  float2 dxSize, dySize;\n  float2 dx, dy;\n  float a; float3 b;\n"
     "  float4( dxSize, dx ) = ddx( float4( uv * 64, uv ) );\n"
     "  float4(dySize, dy) = ddy(float4(uv * 64,\n    uv));\n"
     "  float4(a, b) = uv.xyxy;\n"
     "  return float4(dxSize + dy, dx.x + dySize.y, a + b.z);\n}\n",
     {},
     {"dFdx(", "dFdy("}},
    {"uniform parameters of the entry point", kPlainVs,
     "float4 main(uniform float4 k, float2 uv : TEXCOORD0, uniform sampler2D t) : COLOR {\n"
     "  return k + tex2D(t, uv);\n}\n",
     {},
     {"uniform sampler2D ps_t;"}},
    {"ldexp with a fractional exponent (x * 2^e, not truncated)", kPlainVs,
     "float4 main(float2 uv : TEXCOORD0) : COLOR { return ldexp(uv.x, uv.y) + ldexp(uv, 0.5).xyxy; }\n",
     {},
     {"uv.x * exp2(uv.y)", "exp2(vec2(0.5))"}},
};

GlslShader Translated(const Compiled& c) {
  GlslShader out;
  std::string error;
  EXPECT_TRUE(ostrevin::TranslateShaderToGlsl(c.Decode(), {}, &out, &error)) << error;
  return out;
}

TEST(HlslFidelity, PairsCompileTranslateAndLink) {
  for (const Pair& pair : kPairs) {
    SCOPED_TRACE(pair.what);
    for (const char* profile : {"3_0", "2_0"}) {
      SCOPED_TRACE(profile);
      Compiled vs, ps;
      Compile(&vs, pair.vs, "main", (std::string("vs_") + profile).c_str());
      Compile(&ps, pair.ps, "main", (std::string("ps_") + profile).c_str());
      EXPECT_EQ(vs.hr, D3D_OK) << vs.Messages();
      EXPECT_EQ(ps.hr, D3D_OK) << ps.Messages();
      if (FAILED(vs.hr) || FAILED(ps.hr)) continue;
      const GlslShader v = Translated(vs), p = Translated(ps);
      for (const char* has : pair.vsHas) EXPECT_NE(v.source.find(has), std::string::npos) << has << "\n" << v.source;
      for (const char* has : pair.psHas) EXPECT_NE(p.source.find(has), std::string::npos) << has << "\n" << p.source;
      EXPECT_EQ(hlsltest::GlslLinkErrors(v.source, p.source), "") << v.source << p.source;
    }
  }
}

// The constant table as D3DX lays it out: only what the shader reads, each
// register annotation of the entry point's own scope, sampler types from how
// the samplers are read, "$name" for the entry point's uniform parameters.
TEST(HlslFidelity, ConstantTables) {
  struct Constant {
    const char* name;
    D3DXREGISTER_SET set;
    UINT index, count;
    D3DXPARAMETER_TYPE type;
  };
  struct Case {
    const char* what;
    const char* source;
    const char* entry;
    std::vector<Constant> constants;  // all of them, in no particular order
  } const cases[] = {
      {"unread constants take no register, overlapping or not",
       "float4 unusedA : register(c0);\nfloat4 unusedB : register(c0);\nfloat4 used;\n"
       "sampler2D sUnused : register(s0);\nsampler2D sOther : register(s0);\nsampler2D sUsed;\n"
       "float4 other(float2 uv) { return unusedA + tex2D(sOther, uv); }\n"
       "float4 main(float2 uv : TEXCOORD0) : COLOR { return used + tex2D(sUsed, uv); }\n",
       "main",
       {{"used", D3DXRS_FLOAT4, 0, 1, D3DXPT_FLOAT}, {"sUsed", D3DXRS_SAMPLER, 0, 1, D3DXPT_SAMPLER2D}}},
      {"register annotations of another function's parameters do not count",
       "float4 a(uniform float4 k : register(c5)) : COLOR { return k; }\n"
       "float4 b(uniform float4 k : register(c1)) : COLOR { return k * 2; }\n",
       "a",
       {{"$k", D3DXRS_FLOAT4, 5, 1, D3DXPT_FLOAT}}},
      {"sampler types from their reads",
       "sampler s3; sampler sc; sampler s1; sampler s2; sampler3D typed;\n"
       "float4 main(float3 uvw : TEXCOORD0) : COLOR {\n"
       "  return tex3D(s3, uvw) + texCUBE(sc, uvw) + tex1D(s1, uvw.x) + tex2D(s2, uvw.xy) + tex3D(typed, uvw);\n}\n",
       "main",
       {{"s3", D3DXRS_SAMPLER, 0, 1, D3DXPT_SAMPLER3D},
        {"sc", D3DXRS_SAMPLER, 1, 1, D3DXPT_SAMPLERCUBE},
        {"s1", D3DXRS_SAMPLER, 2, 1, D3DXPT_SAMPLER1D},
        {"s2", D3DXRS_SAMPLER, 3, 1, D3DXPT_SAMPLER2D},
        {"typed", D3DXRS_SAMPLER, 4, 1, D3DXPT_SAMPLER3D}}},
      {"texture objects are not constants",
       "texture t;\nsampler2D s = sampler_state { Texture = <t>; };\n"
       "float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv); }\n",
       "main",
       {{"s", D3DXRS_SAMPLER, 0, 1, D3DXPT_SAMPLER2D}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Compiled ps;
    Compile(&ps, c.source, c.entry, "ps_3_0");
    EXPECT_EQ(ps.hr, D3D_OK) << ps.Messages();
    if (FAILED(ps.hr)) continue;
    D3DXCONSTANTTABLE_DESC desc = {};
    ASSERT_EQ(ps.table->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Constants, c.constants.size());
    for (const Constant& want : c.constants) {
      SCOPED_TRACE(want.name);
      D3DXHANDLE h = ps.table->GetConstantByName(nullptr, want.name);
      D3DXCONSTANT_DESC d = {};
      UINT n = 1;
      EXPECT_NE(h, nullptr);
      if (h == nullptr || ps.table->GetConstantDesc(h, &d, &n) != D3D_OK) continue;
      EXPECT_EQ(d.RegisterSet, want.set);
      EXPECT_EQ(d.RegisterIndex, want.index);
      EXPECT_EQ(d.RegisterCount, want.count);
      EXPECT_EQ(d.Type, want.type);
    }
    Translated(ps);  // and the device can take it
  }
}

// The rewrites reach included files too: an engine-wide header with an
// untyped sampler, a texture object and a flat initialiser.
TEST(HlslFidelity, IncludedFilesAreRewrittenToo) {
  struct Header : ID3DXInclude {
    std::string text = "texture t;\nsampler cube = sampler_state { Texture = <t>; };\n"
                       "static const float2 k[2] = { 1, 2, 3, 4 };\n";
    HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR, LPCVOID, LPCVOID* data, UINT* bytes) override {
      *data = text.data();
      *bytes = static_cast<UINT>(text.size());
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(LPCVOID) override { return S_OK; }
  } header;
  Compiled ps;
  Compile(&ps,
          "#include \"engine.h\"\n"
          "float4 main(float3 dir : TEXCOORD0) : COLOR { return texCUBE(cube, dir) + k[1].xyxy; }\n",
          "main", "ps_2_0", nullptr, &header);
  ASSERT_EQ(ps.hr, D3D_OK) << ps.Messages();
  D3DXCONSTANT_DESC d = {};
  UINT n = 1;
  ASSERT_EQ(ps.table->GetConstantDesc("cube", &d, &n), D3D_OK);
  EXPECT_EQ(d.Type, D3DXPT_SAMPLERCUBE);
  EXPECT_NE(Translated(ps).source.find("uniform samplerCube ps_cube;"), std::string::npos);
}

// Half-written techniques and constructor targets are left to the parser:
// an error naming the line, no crash.
TEST(HlslFidelity, BrokenTechniquesAndConstructorTargetsAreErrors) {
  const char* const kBroken[] = {
      "float4 main() : COLOR { return 1; }\ntechnique",
      "float4 main() : COLOR { return 1; }\ntechnique T < string a = \"{\"; \n",
      "float4 main() : COLOR { return 1; }\ntechnique T { pass { \n",
      "float4 main(float2 uv : TEXCOORD0) : COLOR {\n  float2 a, b;\n  float4(a, b) = \n",
      "float4 main(float2 uv : TEXCOORD0) : COLOR {\n  float2 a, b;\n  float4(a, b) = (uv.xyxy;\n}\n",
      "float4 main(float2 uv : TEXCOORD0) : COLOR {\n  float2 a;\n  float4(a, q) = uv.xyxy;\n  return a.xyxy;\n}\n",
  };
  for (const char* source : kBroken) {
    SCOPED_TRACE(source);
    Compiled ps;
    Compile(&ps, source, "main", "ps_2_0");
    EXPECT_LT(ps.hr, 0);
    EXPECT_NE(ps.Messages().find("memory("), std::string::npos) << ps.Messages();
  }
}

// A shader whose GLSL the device could not compile fails at the compile,
// with the HLSL line, not at CreatePixelShader or the first draw. (D3DX
// refuses this one too: sampler arrays take constant indices only.)
TEST(HlslFidelity, GlslTheDeviceCannotCompileFailsTheCompile) {
  Compiled ps;
  Compile(&ps,
          "sampler2D s[4];\nfloat k;\n\nfloat4 main(float2 uv : TEXCOORD0) : COLOR {\n  float4 c = uv.xyxy;\n"
          "  c += tex2D(s[(int)k], uv);\n  return c;\n}\n",
          "main", "ps_3_0");
  EXPECT_LT(ps.hr, 0);
  EXPECT_EQ(ps.code, nullptr);
  EXPECT_NE(ps.Messages().find("memory(6): error: the shader's GLSL translation does not compile"), std::string::npos)
      << ps.Messages();
}

// Every Direct3D 9 vertex usage can feed a shader: the common ones at their
// fixed locations, the others at locations no other input of that shader
// takes, and the device finds each by (usage, index).
TEST(HlslFidelity, VertexInputsOfEveryUsageGetALocation) {
  Compiled vs;
  Compile(&vs,
          "float4 main(float4 p : POSITION, float3 n : NORMAL, float4 w : BLENDWEIGHT, float4 i : BLENDINDICES,\n"
          "            float s : PSIZE, float4 p1 : POSITION1, float t : TESSFACTOR, float f : FOG,\n"
          "            float d : DEPTH, float sm : SAMPLE, float4 uv7 : TEXCOORD7, float4 tn : TANGENT) : POSITION {\n"
          "  return p + n.x + w + i + s + p1 + t + f + d + sm + uv7 + tn;\n}\n",
          "main", "vs_3_0");
  ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
  const GlslShader v = Translated(vs);
  struct Want {
    BYTE usage, index;
    int fixed;  // VertexAttributeLocation, or -1
  } const want[] = {{D3DDECLUSAGE_POSITION, 0, 0},     {D3DDECLUSAGE_NORMAL, 0, 1},
                    {D3DDECLUSAGE_BLENDWEIGHT, 0, -1}, {D3DDECLUSAGE_BLENDINDICES, 0, -1},
                    {D3DDECLUSAGE_PSIZE, 0, -1},       {D3DDECLUSAGE_POSITION, 1, -1},
                    {D3DDECLUSAGE_TESSFACTOR, 0, -1},  {D3DDECLUSAGE_FOG, 0, -1},
                    {D3DDECLUSAGE_DEPTH, 0, -1},       {D3DDECLUSAGE_SAMPLE, 0, -1},
                    {D3DDECLUSAGE_TEXCOORD, 7, 11},    {D3DDECLUSAGE_TANGENT, 0, 14}};
  ASSERT_EQ(v.attributes.size(), std::size(want));
  std::set<int> locations;
  for (const Want& w : want) {
    const int location = ostrevin::GlslAttributeLocation(v, w.usage, w.index);
    SCOPED_TRACE(testing::Message() << int(w.usage) << "/" << int(w.index) << " at " << location);
    EXPECT_GE(location, 0);
    EXPECT_LT(location, 16);
    if (w.fixed >= 0) {
      EXPECT_EQ(location, w.fixed);
    }
    EXPECT_TRUE(locations.insert(location).second);
    EXPECT_NE(v.source.find("layout(location = " + std::to_string(location) + ") in "), std::string::npos);
  }
  EXPECT_EQ(ostrevin::GlslAttributeLocation(v, D3DDECLUSAGE_POSITIONT, 0), 0);
  EXPECT_EQ(ostrevin::GlslAttributeLocation(v, D3DDECLUSAGE_COLOR, 0), -1);
  EXPECT_EQ(hlsltest::GlslLinkErrors(v.source, "#version 330\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n"), "");

  // Seventeen inputs do not fit the sixteen locations.
  std::string many = "float4 main(float4 p : POSITION";
  for (int k = 0; k < 8; ++k) many += ", float4 t" + std::to_string(k) + " : TEXCOORD" + std::to_string(k);
  for (int k = 0; k < 8; ++k) many += ", float4 b" + std::to_string(k) + " : BLENDWEIGHT" + std::to_string(k);
  many += ") : POSITION { return p; }\n";
  Compiled tooMany;
  Compile(&tooMany, many, "main", "vs_3_0");
  EXPECT_LT(tooMany.hr, 0);
  EXPECT_NE(tooMany.Messages().find("more inputs than"), std::string::npos) << tooMany.Messages();
}

}  // namespace
