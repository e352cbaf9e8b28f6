// D3DXCompileShader, ID3DXBuffer and ID3DXConstantTable.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "fake/FakeDevice.h"
#include "hlsl/HlslTestUtil.h"

namespace {

using hlsltest::Compile;
using hlsltest::Compiled;

const char kTinyVs[] = "float4 main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n";
const char kTinyPs[] = "float4 main() : COLOR { return float4(1, 0, 0, 1); }\n";

// ------------------------------------------------------------------ buffers

TEST(D3DXBuffer, SizeAlignmentZeroFillAndReferences) {
  ID3DXBuffer* b = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(13, &b), D3D_OK);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetBufferSize(), 13u);
  ASSERT_NE(b->GetBufferPointer(), nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b->GetBufferPointer()) % 4, 0u);
  const unsigned char* bytes = static_cast<const unsigned char*>(b->GetBufferPointer());
  for (int i = 0; i < 13; ++i) EXPECT_EQ(bytes[i], 0) << i;

  EXPECT_EQ(b->AddRef(), 2u);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(b));
  EXPECT_EQ(unknown->Release(), 2u);
  const IID other = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* none = &unknown;
  EXPECT_EQ(b->QueryInterface(other, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(b->Release(), 1u);
  EXPECT_EQ(b->Release(), 0u);

  ID3DXBuffer* empty = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(0, &empty), D3D_OK);
  EXPECT_EQ(empty->GetBufferSize(), 0u);
  empty->Release();
  EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
}

// --------------------------------------------------------- shipped shaders

TEST(CompileShader, ShippedShadersAndTheirConstantTables) {
  Compiled vs;
  Compile(&vs, hlsltest::ReadAsset("vs-phong.hlsl"), "main", "vs_2_0");
  ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
  ASSERT_NE(vs.table, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(vs.code->GetBufferPointer()) % 4, 0u);
  EXPECT_EQ(vs.code->GetBufferSize() % 4, 0u);
  EXPECT_EQ(ostrevin::ShaderCodeSize(static_cast<const DWORD*>(vs.code->GetBufferPointer())),
            vs.code->GetBufferSize());

  D3DXCONSTANTTABLE_DESC desc = {};
  ASSERT_EQ(vs.table->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Constants, 4u);
  EXPECT_EQ(desc.Version, 0xFFFE0200u);

  const std::map<std::string, UINT> expected = {{"mViewProjection", 4}, {"mWorld", 4}, {"vLight", 1}, {"vCam", 1}};
  std::set<UINT> used;
  for (const auto& e : expected) {
    D3DXHANDLE h = vs.table->GetConstantByName(nullptr, e.first.c_str());
    ASSERT_NE(h, nullptr) << e.first;
    D3DXCONSTANT_DESC cd = {};
    UINT count = 1;
    ASSERT_EQ(vs.table->GetConstantDesc(h, &cd, &count), D3D_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(cd.Name, e.first.c_str());
    EXPECT_EQ(cd.RegisterSet, D3DXRS_FLOAT4);
    EXPECT_EQ(cd.RegisterCount, e.second) << e.first;
    EXPECT_EQ(cd.Type, D3DXPT_FLOAT);
    EXPECT_EQ(cd.Class, e.second == 4 ? D3DXPC_MATRIX_COLUMNS : D3DXPC_VECTOR);
    for (UINT r = cd.RegisterIndex; r < cd.RegisterIndex + cd.RegisterCount; ++r) {
      EXPECT_TRUE(used.insert(r).second) << e.first << " overlaps at c" << r;
    }
  }

  Compiled ps;
  Compile(&ps, hlsltest::ReadAsset("ps-phong.hlsl"), "pixel_shader_main", "ps_2_0");
  ASSERT_EQ(ps.hr, D3D_OK) << ps.Messages();
  ASSERT_EQ(ps.table->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Version, 0xFFFF0200u);
  D3DXHANDLE sampler = ps.table->GetConstantByName(nullptr, "diffuseMap");
  ASSERT_NE(sampler, nullptr);
  EXPECT_EQ(ps.table->GetSamplerIndex(sampler), 0u);
  EXPECT_EQ(ps.Decode().stage, ostrevin::ShaderStage::Pixel);
}

// ----------------------------------------------------------------- failures

TEST(CompileShader, FailuresGiveANegativeResultAndAMessage) {
  const std::string good = kTinyVs;
  struct Case {
    const char* what;
    std::string source;
    const char* entry;
    const char* profile;
    const char* messageHas;  // substring of the message
  } cases[] = {
      {"syntax error on line 3", "float4 x;\n\nfloat4 main( : POSITION { return x; }\n", "main", "vs_2_0", "(3)"},
      {"undeclared name on line 2", "float4 main() : POSITION {\n  return undeclared;\n}\n", "main", "vs_2_0",
       "(2): error"},
      {"missing entry point", good, "vs_main", "vs_2_0", "'vs_main': entrypoint not found"},
      {"pixel profile ps_1_1", kTinyPs, "main", "ps_1_1", "ps_1_1"},
      {"shader model 4", good, "main", "vs_4_0", "vs_4_0"},
      {"garbage profile", good, "main", "xx", "xx"},
      {"empty profile", good, "main", "", "profile"},
      {"empty source", "", "main", "vs_2_0", "empty"},
      // glslang itself would crash on these: they are refused first.
      {"postfix increment of an undeclared name", "float4 main() : POSITION {\n  return sin(l++);\n}\n", "main",
       "vs_2_0", "(2): error X3004: undeclared identifier 'l'"},
      {"global redefined with another type", "float4 a;\nfloat3 a;\nfloat4 main() : POSITION { return a.xyzz; }\n",
       "main", "vs_2_0", "(2): error X3003: redefinition of 'a'"},
      {"redefinition at the end of the source", "float4 mV;\nfloat mV", "main", "vs_2_0", "(2): error X3003"},
      {"variable named like a struct", "struct V { float a; };\nstruct { float b; } V;\n", "main", "vs_2_0",
       "(2): error X3003: redefinition of 'V'"},
      {"redefinition through a macro", "#define DECL sampler2D a;\nDECL\nfloat4 a;\nfloat4 main() : COLOR { return a; }\n",
       "main", "ps_2_0", "redefinition of 'a'"},
      {"vertex input of no Direct3D 9 usage", "float4 main(float4 w : WEIGHTS0) : POSITION { return w; }",
       "main", "vs_2_0", "WEIGHTS0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Compiled r;
    Compile(&r, c.source, c.entry, c.profile);
    EXPECT_LT(r.hr, 0);
    EXPECT_EQ(r.code, nullptr);
    EXPECT_EQ(r.table, nullptr);
    ASSERT_NE(r.messages, nullptr);
    const std::string text = r.Messages();
    EXPECT_EQ(static_cast<const char*>(r.messages->GetBufferPointer())[r.messages->GetBufferSize() - 1], '\0');
    EXPECT_NE(text.find(c.messageHas), std::string::npos) << text;
  }
}

TEST(CompileShader, SourceNeedsNoTerminatorAndOutPointersMayBeNull) {
  // The length ends the source: what follows must not be read.
  std::string padded = std::string(kTinyVs) + "this is not HLSL";
  ID3DXBuffer* code = nullptr;
  EXPECT_EQ(D3DXCompileShader(padded.data(), static_cast<UINT>(std::strlen(kTinyVs)), nullptr, nullptr, "main",
                              "vs_2_0", 0, &code, nullptr, nullptr),
            D3D_OK);
  ASSERT_NE(code, nullptr);
  code->Release();
  EXPECT_LT(D3DXCompileShader(padded.data(), static_cast<UINT>(padded.size()), nullptr, nullptr, "main", "vs_2_0",
                              0, nullptr, nullptr, nullptr),
            0);
}

TEST(CompileShader, EveryShaderModel2And3ProfileIsAccepted) {
  for (const char* profile : {"vs_1_1", "vs_2_0", "vs_2_a", "vs_2_sw", "vs_3_0"}) {
    Compiled r;
    Compile(&r, kTinyVs, "main", profile);
    EXPECT_EQ(r.hr, D3D_OK) << profile << r.Messages();
    EXPECT_EQ(r.Decode().stage, ostrevin::ShaderStage::Vertex);
  }
  for (const char* profile : {"ps_2_0", "ps_2_a", "ps_2_b", "ps_2_sw", "ps_3_0"}) {
    Compiled r;
    Compile(&r, kTinyPs, "main", profile);
    EXPECT_EQ(r.hr, D3D_OK) << profile << r.Messages();
    EXPECT_EQ(r.Decode().stage, ostrevin::ShaderStage::Pixel);
  }
}

// ------------------------------------------------------ macros and includes

TEST(CompileShader, MacrosBecomeDefines) {
  const std::string source =
      "#ifndef TINT\n#error TINT missing\n#endif\n"
      "float4 main() : COLOR { return float4(TINT, SCALE); }\n";
  const D3DXMACRO macros[] = {{"TINT", "0.5, 0.25, 1"}, {"SCALE", "2.0"}, {nullptr, nullptr}};
  Compiled with;
  Compile(&with, source, "main", "ps_2_0", macros);
  EXPECT_EQ(with.hr, D3D_OK) << with.Messages();

  Compiled without;
  Compile(&without, source, "main", "ps_2_0");
  EXPECT_LT(without.hr, 0);
  EXPECT_NE(without.Messages().find("(2): error"), std::string::npos) << without.Messages();
}

class MapInclude : public ID3DXInclude {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::pair<std::string, LPCVOID>> opens;  // name, parent data
  std::multiset<LPCVOID> open;                          // data not closed yet

  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                                 UINT* pBytes) override {
    opens.emplace_back(pFileName, pParentData);
    auto it = files.find(pFileName);
    if (it == files.end()) return E_FAIL;
    *ppData = it->second.data();
    *pBytes = static_cast<UINT>(it->second.size());
    open.insert(*ppData);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID pData) override {
    auto it = open.find(pData);
    EXPECT_NE(it, open.end()) << "Close without Open";
    if (it != open.end()) open.erase(it);
    return S_OK;
  }
};

TEST(CompileShader, IncludeHandlerOpensAndClosesEveryFile) {
  MapInclude include;
  include.files["common.hlsl"] = "#include \"inner.hlsl\"\nfloat4 Scale(float4 v) { return v * kScale; }\n";
  include.files["inner.hlsl"] = "static const float kScale = 2.0;\n";  // no terminating zero needed
  const std::string source = "#include \"common.hlsl\"\nfloat4 main() : COLOR { return Scale(float4(1, 1, 1, 1)); }\n";
  Compiled r;
  Compile(&r, source, "main", "ps_2_0", nullptr, &include);
  ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
  ASSERT_EQ(include.opens.size(), 2u);
  EXPECT_EQ(include.opens[0].first, "common.hlsl");
  EXPECT_EQ(include.opens[0].second, nullptr);
  EXPECT_EQ(include.opens[1].first, "inner.hlsl");
  EXPECT_EQ(include.opens[1].second, include.files["common.hlsl"].data());
  EXPECT_TRUE(include.open.empty());

  MapInclude missing;
  Compiled failed;
  Compile(&failed, source, "main", "ps_2_0", nullptr, &missing);
  EXPECT_LT(failed.hr, 0);
  EXPECT_EQ(missing.opens.size(), 1u) << "asked once per #include";
  EXPECT_NE(failed.Messages().find("common.hlsl"), std::string::npos) << failed.Messages();

  Compiled noHandler;
  Compile(&noHandler, source, "main", "ps_2_0");
  EXPECT_LT(noHandler.hr, 0);
}

// Files that include themselves, directly or in a ring, or that each include
// the next twice, end in a compile error naming a file, not in endless text.
TEST(CompileShader, IncludeRingsAndDoublingChainsFail) {
  MapInclude ring;
  ring.files["a.hlsl"] = "#include \"b.hlsl\"\n";
  ring.files["b.hlsl"] = "#include \"a.hlsl\"\n";
  MapInclude doubling;
  for (int i = 0; i < 40; ++i) {
    const std::string next = "\"d" + std::to_string(i + 1) + ".hlsl\"";
    doubling.files["d" + std::to_string(i) + ".hlsl"] = "#include " + next + "\n#include " + next + "\n";
  }
  doubling.files["d40.hlsl"] = "\n";
  const struct {
    MapInclude* include;
    const char* source;
  } cases[] = {
      {&ring, "#include \"a.hlsl\"\nfloat4 main() : COLOR { return 1; }\n"},
      {&doubling, "#include \"d0.hlsl\"\nfloat4 main() : COLOR { return 1; }\n"},
  };
  for (const auto& c : cases) {
    Compiled r;
    Compile(&r, c.source, "main", "ps_2_0", nullptr, c.include);
    EXPECT_LT(r.hr, 0);
    EXPECT_NE(r.Messages().find(".hlsl"), std::string::npos) << r.Messages();
    EXPECT_TRUE(c.include->open.empty());
  }
}

// An error in an included file is reported under that file's name and line.
TEST(CompileShader, ErrorsInIncludesNameTheFile) {
  MapInclude include;
  include.files["globals.hlsl"] = "float4 a;\n\nfloat3 a;\n";
  include.files["body.hlsl"] = "float4 f() {\n  return x;\n}\n";
  include.files["fine.hlsl"] = "float4 b;\n";
  const struct {
    const char* source;
    const char* messageHas;
  } cases[] = {
      {"#include \"globals.hlsl\"\nfloat4 main() : COLOR { return a; }\n", "globals.hlsl(3): error X3003"},
      {"#include \"body.hlsl\"\nfloat4 main() : COLOR { return f(); }\n", "body.hlsl(2): error"},
      {"\n#include \"fine.hlsl\"\nfloat4 main() : COLOR { return b + y; }\n", "memory(3): error"},
  };
  for (const auto& c : cases) {
    Compiled r;
    Compile(&r, c.source, "main", "ps_2_0", nullptr, &include);
    EXPECT_LT(r.hr, 0);
    EXPECT_NE(r.Messages().find(c.messageHas), std::string::npos) << c.messageHas << " in\n" << r.Messages();
  }
}

// ------------------------------------------------------- register layout

struct Layout {
  D3DXREGISTER_SET set;
  UINT index, count;
  D3DXPARAMETER_CLASS cls;
  UINT rows, columns, elements;
};

Layout LayoutOf(ID3DXConstantTable* t, const char* name) {
  Layout l = {};
  D3DXCONSTANT_DESC d = {};
  UINT n = 1;
  D3DXHANDLE h = t->GetConstantByName(nullptr, name);
  EXPECT_NE(h, nullptr) << name;
  if (h == nullptr || FAILED(t->GetConstantDesc(h, &d, &n))) return l;
  return {d.RegisterSet, d.RegisterIndex, d.RegisterCount, d.Class, d.Rows, d.Columns, d.Elements};
}

void ExpectLayout(ID3DXConstantTable* t, const char* name, Layout want) {
  const Layout got = LayoutOf(t, name);
  SCOPED_TRACE(name);
  EXPECT_EQ(got.set, want.set);
  EXPECT_EQ(got.index, want.index);
  EXPECT_EQ(got.count, want.count);
  EXPECT_EQ(got.cls, want.cls);
  EXPECT_EQ(got.rows, want.rows);
  EXPECT_EQ(got.columns, want.columns);
  EXPECT_EQ(got.elements, want.elements);
}

const char kLayoutShader[] =
    "float a;\n"
    "float4 pinned : register(c10);\n"
    "float3x3 m3;\n"
    "row_major float4x3 rows43;\n"
    "float4x3 cols43;\n"
    "float2 arr[3];\n"
    "float4x4 mats[2];\n"
    "sampler2D late : register(s3);\n"
    "sampler2D first;\n"
    "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
    "  float4 s = tex2D(late, uv) + tex2D(first, uv);\n"
    "  float3 v = mul(float3(uv, 1), m3) + mul(float4(uv, 0, 1), rows43) + mul(float4(uv, 0, 1), cols43);\n"
    "  return s * a + pinned + float4(v, arr[2].x) + mul(s, mats[1]);\n"
    "}\n";

TEST(ConstantTable, RegistersFollowDeclarationOrderAndRegisterAnnotations) {
  Compiled r;
  Compile(&r, kLayoutShader, "main", "ps_3_0");
  ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
  ExpectLayout(r.table, "a", {D3DXRS_FLOAT4, 0, 1, D3DXPC_SCALAR, 1, 1, 1});
  ExpectLayout(r.table, "pinned", {D3DXRS_FLOAT4, 10, 1, D3DXPC_VECTOR, 1, 4, 1});
  ExpectLayout(r.table, "m3", {D3DXRS_FLOAT4, 1, 3, D3DXPC_MATRIX_COLUMNS, 3, 3, 1});
  ExpectLayout(r.table, "rows43", {D3DXRS_FLOAT4, 4, 4, D3DXPC_MATRIX_ROWS, 4, 3, 1});
  ExpectLayout(r.table, "cols43", {D3DXRS_FLOAT4, 11, 3, D3DXPC_MATRIX_COLUMNS, 4, 3, 1});  // skips c10
  ExpectLayout(r.table, "arr", {D3DXRS_FLOAT4, 14, 3, D3DXPC_VECTOR, 1, 2, 3});
  ExpectLayout(r.table, "mats", {D3DXRS_FLOAT4, 17, 8, D3DXPC_MATRIX_COLUMNS, 4, 4, 2});
  ExpectLayout(r.table, "late", {D3DXRS_SAMPLER, 3, 1, D3DXPC_OBJECT, 1, 1, 1});
  ExpectLayout(r.table, "first", {D3DXRS_SAMPLER, 0, 1, D3DXPC_OBJECT, 1, 1, 1});
  EXPECT_EQ(r.table->GetSamplerIndex("late"), 3u);
  EXPECT_EQ(r.table->GetSamplerIndex("a"), static_cast<UINT>(-1));

  // Enumeration by index gives handles in declaration order, then nothing.
  D3DXCONSTANTTABLE_DESC desc = {};
  ASSERT_EQ(r.table->GetDesc(&desc), D3D_OK);
  ASSERT_EQ(desc.Constants, 9u);
  EXPECT_STREQ(r.table->GetConstant(nullptr, 0), "a");
  EXPECT_EQ(r.table->GetConstant(nullptr, 9), nullptr);
  EXPECT_EQ(r.table->GetConstantByName(nullptr, "nothing"), nullptr);

  // The same table comes back from the code buffer alone.
  ID3DXConstantTable* again = nullptr;
  ASSERT_EQ(D3DXGetShaderConstantTable(static_cast<const DWORD*>(r.code->GetBufferPointer()), &again), D3D_OK);
  ExpectLayout(again, "cols43", {D3DXRS_FLOAT4, 11, 3, D3DXPC_MATRIX_COLUMNS, 4, 3, 1});
  again->Release();
  const DWORD junk[16] = {0x12345678};
  EXPECT_LT(D3DXGetShaderConstantTable(junk, &again), 0);
  EXPECT_EQ(again, nullptr);
}

TEST(ConstantTable, DeclarationSyntaxIsNotMistakenForRedefinitions) {
  Compiled r;
  Compile(&r,
          "#define SLOT register(c7)\n"
          "vector<float, 4> v : SLOT;\nmatrix<float, 4, 4> m;\nstatic const float k[2] = {1, 2};\n"
          "struct S { float a; float4 b; };\nstatic S s;\nfloat f(float a);\n"
          "float f(float a) { float k2 = a; return k2; }\n"
          "float4 main(float4 p : POSITION) : POSITION { return mul(p, m) + v * f(k[1]); }\n",
          "main", "vs_2_0");
  ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
  ExpectLayout(r.table, "v", {D3DXRS_FLOAT4, 7, 1, D3DXPC_VECTOR, 1, 4, 1});
  ExpectLayout(r.table, "m", {D3DXRS_FLOAT4, 0, 4, D3DXPC_MATRIX_COLUMNS, 4, 4, 1});
}

TEST(ConstantTable, OverlappingRegisterAnnotationsFail) {
  Compiled r;
  Compile(&r,
          "float4x4 m : register(c0);\nfloat4 v : register(c2);\n"
          "float4 main(float4 p : POSITION) : POSITION { return mul(p, m) + v; }\n",
          "main", "vs_2_0");
  EXPECT_LT(r.hr, 0);
  EXPECT_NE(r.Messages().find("'v'"), std::string::npos) << r.Messages();
}

// The matrix-packing flag changes nothing else: the source's first line
// still declares its register and default value.
TEST(ConstantTable, PackMatrixFlagKeepsTheFirstLine) {
  Compiled r;
  Compile(&r, "float4 tint : register(c3) = {1, 2, 3, 4};\nfloat4 main() : COLOR { return tint; }\n", "main",
          "ps_2_0", nullptr, nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR);
  ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
  D3DXCONSTANT_DESC d;
  UINT n = 1;
  ASSERT_EQ(r.table->GetConstantDesc(r.table->GetConstantByName(nullptr, "tint"), &d, &n), D3D_OK);
  EXPECT_EQ(d.RegisterIndex, 3u);
  ASSERT_NE(d.DefaultValue, nullptr);
  EXPECT_EQ(static_cast<const float*>(d.DefaultValue)[3], 4.0f);
}

TEST(ConstantTable, PackMatrixRowMajorFlag) {
  Compiled r;
  Compile(&r, "float4x4 m;\nfloat4 main(float4 p : POSITION) : POSITION { return mul(p, m); }\n", "main", "vs_2_0",
          nullptr, nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR);
  ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
  ExpectLayout(r.table, "m", {D3DXRS_FLOAT4, 0, 4, D3DXPC_MATRIX_ROWS, 4, 4, 1});
}

// ------------------------------------------------- register writes (fake)

class ConstantWrites : public hlsltest::FakeDeviceShaderTest {
 protected:
  void SetUp() override {
    SetUpWith(
        "float4x4 mWorld;\nrow_major float4x4 mRows;\nfloat4 vLight;\nfloat3 vDir;\nfloat fScale;\n"
        "float4 vArr[3];\nfloat3x3 mNormal;\nsampler2D tex;\n"
        "float4 main(float4 p : POSITION) : POSITION {\n"
        "  return mul(p, mWorld) + mul(p, mRows) + vLight + float4(mul(vDir, mNormal), fScale)\n"
        "       + vArr[2] + tex2Dlod(tex, p);\n}\n");
  }
  UINT Reg(const char* name) { return LayoutOf(vs.table, name).index; }
};

const D3DXMATRIX kM(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);

TEST_F(ConstantWrites, SetMatrixTransposesColumnMajorConstants) {
  ASSERT_EQ(vs.table->SetMatrix(device, "mWorld", &kM), D3D_OK);
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0].args, (std::vector<uint64_t>{Reg("mWorld"), 4}));
  EXPECT_EQ(Writes()[0].floats, (std::vector<float>{1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}));

  fake::Clear();
  ASSERT_EQ(vs.table->SetMatrixTranspose(device, "mWorld", &kM), D3D_OK);
  EXPECT_EQ(Writes().at(0).floats, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));

  // row_major: rows go in unchanged.
  fake::Clear();
  ASSERT_EQ(vs.table->SetMatrix(device, "mRows", &kM), D3D_OK);
  EXPECT_EQ(Writes().at(0).args, (std::vector<uint64_t>{Reg("mRows"), 4}));
  EXPECT_EQ(Writes().at(0).floats, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));

  // float3x3 takes the upper-left 3x3, one column per register, w = 0.
  fake::Clear();
  ASSERT_EQ(vs.table->SetMatrix(device, "mNormal", &kM), D3D_OK);
  EXPECT_EQ(Writes().at(0).args, (std::vector<uint64_t>{Reg("mNormal"), 3}));
  EXPECT_EQ(Writes().at(0).floats, (std::vector<float>{1, 5, 9, 0, 2, 6, 10, 0, 3, 7, 11, 0}));
}

TEST_F(ConstantWrites, VectorsScalarsAndArrays) {
  const D3DXVECTOR4 v(1, 2, 3, 4);
  ASSERT_EQ(vs.table->SetVector(device, "vLight", &v), D3D_OK);
  ASSERT_EQ(vs.table->SetVector(device, vs.table->GetConstantByName(nullptr, "vDir"), &v), D3D_OK);
  ASSERT_EQ(vs.table->SetFloat(device, "fScale", 7.5f), D3D_OK);
  const D3DXVECTOR4 arr[4] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}};
  ASSERT_EQ(vs.table->SetVectorArray(device, "vArr", arr, 4), D3D_OK);  // clamped to 3
  const float floats[6] = {9, 8, 7, 6, 5, 4};
  ASSERT_EQ(vs.table->SetFloatArray(device, "vArr", floats, 6), D3D_OK);  // one whole element
  const std::vector<fake::Call> w = Writes();
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w[0].args, (std::vector<uint64_t>{Reg("vLight"), 1}));
  EXPECT_EQ(w[0].floats, (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(w[1].args, (std::vector<uint64_t>{Reg("vDir"), 1}));
  EXPECT_EQ(w[1].floats, (std::vector<float>{1, 2, 3, 0}));
  EXPECT_EQ(w[2].floats, (std::vector<float>{7.5f, 0, 0, 0}));
  EXPECT_EQ(w[3].args, (std::vector<uint64_t>{Reg("vArr"), 3}));
  EXPECT_EQ(w[3].floats, (std::vector<float>{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}));
  EXPECT_EQ(w[4].args, (std::vector<uint64_t>{Reg("vArr"), 1}));
  EXPECT_EQ(w[4].floats, (std::vector<float>{9, 8, 7, 6}));
}

TEST_F(ConstantWrites, BadHandlesWriteNothing) {
  const D3DXVECTOR4 v(1, 2, 3, 4);
  EXPECT_EQ(vs.table->SetVector(device, "vNothing", &v), D3DERR_INVALIDCALL);
  EXPECT_EQ(vs.table->SetMatrix(device, "mNothing", &kM), D3DERR_INVALIDCALL);
  EXPECT_EQ(vs.table->SetFloat(device, nullptr, 1.0f), D3DERR_INVALIDCALL);
  EXPECT_EQ(vs.table->SetVector(device, "tex", &v), D3DERR_INVALIDCALL);  // a sampler has no float registers
  EXPECT_EQ(vs.table->SetVector(nullptr, "vLight", &v), D3DERR_INVALIDCALL);
  EXPECT_EQ(vs.table->SetMatrix(device, "mWorld", nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(fake::CountCalls("SetVertexShaderConstantF"), 0u);
  EXPECT_EQ(fake::CountCalls("SetPixelShaderConstantF"), 0u);
}

TEST_F(ConstantWrites, PixelShaderTablesWritePixelRegisters) {
  Compiled ps;
  Compile(&ps, "float4 vTint;\nfloat4 main() : COLOR { return vTint; }\n", "main", "ps_2_0");
  ASSERT_EQ(ps.hr, D3D_OK) << ps.Messages();
  const D3DXVECTOR4 v(0.5f, 0.25f, 1, 1);
  ASSERT_EQ(ps.table->SetVector(device, "vTint", &v), D3D_OK);
  EXPECT_EQ(fake::CountCalls("SetVertexShaderConstantF"), 0u);
  const std::vector<fake::Call> w = fake::CallsNamed("SetPixelShaderConstantF");
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].args, (std::vector<uint64_t>{0, 1}));
  EXPECT_EQ(w[0].floats, (std::vector<float>{0.5f, 0.25f, 1, 1}));
}

}  // namespace

// glslang 12 itself crashes on this source; the compile runs isolated, so
// the caller gets an error and goes on.
TEST(CompileShaderIsolation, AFrontEndCrashIsAnErrorNotTheEndOfTheProcess) {
  const char source[] = "float mld;struct{}T()mld";
  for (int i = 0; i < 2; ++i) {
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCompileShader(source, sizeof(source) - 1, nullptr, nullptr, "main", "vs_2_0", 0, &code,
                                         &errors, nullptr);
    EXPECT_LT(hr, 0);
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("error"), std::string::npos);
    errors->Release();
  }
  // And the next good shader still compiles.
  const char good[] = "float4 main(float4 p : POSITION) : POSITION { return p; }";
  ID3DXBuffer* code = nullptr;
  EXPECT_EQ(D3DXCompileShader(good, sizeof(good) - 1, nullptr, nullptr, "main", "vs_2_0", 0, &code, nullptr, nullptr),
            D3D_OK);
  if (code != nullptr) code->Release();
}
