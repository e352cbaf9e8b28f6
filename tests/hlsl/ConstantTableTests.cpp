// ID3DXConstantTable: setters on constants of another class, array element
// handles, default values; observed as register writes on the fake device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fake/FakeDevice.h"
#include "hlsl/HlslTestUtil.h"
#include "shader/InitialiserScan.h"
#include "shader/SourceRewrite.h"
#include "shader/SourceScan.h"

namespace {

using hlsltest::Compile;
using hlsltest::Compiled;

class ConstantTableWrites : public hlsltest::FakeDeviceShaderTest {
 protected:
  void SetUp() override {
    SetUpWith(
        "float f;\nfloat4 f4;\nfloat4x4 mvp;\nfloat4 arr[3];\nfloat4x4 mats[2];\n"
        "float4 main(float4 p : POSITION) : POSITION {\n"
        "  return mul(p, mvp) + f * f4 + arr[0] + arr[1] + arr[2] + mul(p, mats[0]) + mul(p, mats[1]);\n}\n");
  }
  D3DXCONSTANT_DESC Desc(D3DXHANDLE h) {
    D3DXCONSTANT_DESC d = {};
    UINT n = 1;
    EXPECT_EQ(vs.table->GetConstantDesc(h, &d, &n), D3D_OK);
    return d;
  }
  UINT Reg(const char* name) { return Desc(vs.table->GetConstantByName(nullptr, name)).RegisterIndex; }
};

const D3DXMATRIX kM(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
const D3DXVECTOR4 kV(0.5f, 0.25f, 2, 4);
const D3DXVECTOR4 kRows[4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
const float kFloats[3] = {7, 8, 9};

enum class Call { Float, Vector, Matrix, MatrixTranspose, FloatArray3, VectorArray4 };

HRESULT Invoke(ID3DXConstantTable* t, IDirect3DDevice9* d, Call call, D3DXHANDLE h) {
  switch (call) {
    case Call::Float: return t->SetFloat(d, h, 3.5f);
    case Call::Vector: return t->SetVector(d, h, &kV);
    case Call::Matrix: return t->SetMatrix(d, h, &kM);
    case Call::MatrixTranspose: return t->SetMatrixTranspose(d, h, &kM);
    case Call::FloatArray3: return t->SetFloatArray(d, h, kFloats, 3);
    case Call::VectorArray4: return t->SetVectorArray(d, h, kRows, 4);
  }
  return E_FAIL;
}

// A setter given less than one element of the constant writes nothing and
// still succeeds; given more, it writes the whole elements it covers.
TEST_F(ConstantTableWrites, SettersOnConstantsOfAnotherClass) {
  struct Case {
    const char* what;
    Call call;
    const char* constant;
    std::vector<float> registers;  // empty: nothing written
  } cases[] = {
      {"float on a matrix", Call::Float, "mvp", {}},
      {"vector on a matrix", Call::Vector, "mvp", {}},
      {"float on a vector", Call::Float, "f4", {}},
      {"three floats on a vector", Call::FloatArray3, "f4", {}},
      {"vector on a scalar", Call::Vector, "f", {0.5f, 0, 0, 0}},
      {"matrix on a scalar", Call::Matrix, "f", {1, 0, 0, 0}},
      {"transposed matrix on a scalar", Call::MatrixTranspose, "f", {1, 0, 0, 0}},
      {"matrix on a vector: its first row", Call::Matrix, "f4", {1, 2, 3, 4}},
      {"transposed matrix on a vector: its first column", Call::MatrixTranspose, "f4", {1, 5, 9, 13}},
      {"four vectors on a matrix: its rows", Call::VectorArray4, "mvp",
       {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}},
      {"four vectors on a vector: the first", Call::VectorArray4, "f4", {1, 2, 3, 4}},
      {"three floats on a vector array: no whole element", Call::FloatArray3, "arr", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::Clear();
    EXPECT_EQ(Invoke(vs.table, device, c.call, c.constant), D3D_OK);
    const std::vector<fake::Call> w = Writes();
    if (c.registers.empty()) {
      EXPECT_TRUE(w.empty());
      continue;
    }
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].args, (std::vector<uint64_t>{Reg(c.constant), c.registers.size() / 4}));
    EXPECT_EQ(w[0].floats, c.registers);
  }
}

// Vectors and matrices narrower than a register, and row_major ones: the
// unused components are 0; a column_major matrix fills a register per
// column, a row_major one a register per row (transposed: the other way).
class ConstantTableShapes : public ConstantTableWrites {
 protected:
  void SetUp() override {
    SetUpWith(
        "float3 v3;\nfloat2 v2;\nfloat3x2 c32;\nrow_major float2x3 r23;\nrow_major float4x4 rm;\n"
        "float4 main(float4 p : POSITION) : POSITION {\n"
        "  return float4(v3, 0) + v2.xyxy + mul(mul(p.xyz, c32), r23).xyzz + mul(p, rm);\n}\n");
  }
};

TEST_F(ConstantTableShapes, RegistersOfEachShape) {
  struct Case {
    const char* what;
    Call call;
    const char* constant;
    std::vector<float> registers;
  } cases[] = {
      {"vector on a float3", Call::Vector, "v3", {0.5f, 0.25f, 2, 0}},
      {"vector on a float2", Call::Vector, "v2", {0.5f, 0.25f, 0, 0}},
      {"matrix on a float3x2: its columns", Call::Matrix, "c32", {1, 5, 9, 0, 2, 6, 10, 0}},
      {"transposed matrix on a float3x2", Call::MatrixTranspose, "c32", {1, 2, 3, 0, 5, 6, 7, 0}},
      {"matrix on a row_major float2x3: its rows", Call::Matrix, "r23", {1, 2, 3, 0, 5, 6, 7, 0}},
      {"transposed matrix on a row_major float2x3", Call::MatrixTranspose, "r23", {1, 5, 9, 0, 2, 6, 10, 0}},
      {"matrix on a row_major float4x4", Call::Matrix, "rm", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
      {"transposed matrix on a row_major float4x4", Call::MatrixTranspose, "rm",
       {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::Clear();
    EXPECT_EQ(Invoke(vs.table, device, c.call, c.constant), D3D_OK);
    const std::vector<fake::Call> w = Writes();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].args, (std::vector<uint64_t>{Reg(c.constant), c.registers.size() / 4}));
    EXPECT_EQ(w[0].floats, c.registers);
  }
}

TEST_F(ConstantTableWrites, FloatArraysWriteWholeElementsOnly) {
  const float six[6] = {9, 8, 7, 6, 5, 4};
  ASSERT_EQ(vs.table->SetFloatArray(device, "arr", six, 6), D3D_OK);
  const std::vector<fake::Call> w = Writes();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].args, (std::vector<uint64_t>{Reg("arr"), 1}));
  EXPECT_EQ(w[0].floats, (std::vector<float>{9, 8, 7, 6}));
}

TEST_F(ConstantTableWrites, ElementHandlesByNameAndIndex) {
  D3DXHANDLE arr = vs.table->GetConstantByName(nullptr, "arr");
  D3DXHANDLE second = vs.table->GetConstantByName(nullptr, "arr[1]");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(vs.table->GetConstantElement(arr, 1), second);
  EXPECT_EQ(vs.table->GetConstantElement("arr", 1), second);
  for (const char* bad : {"arr[3]", "arr[", "arr[1", "f4[0]", "arr[-1]"}) {
    EXPECT_EQ(vs.table->GetConstantByName(nullptr, bad), nullptr) << bad;
  }
  EXPECT_EQ(vs.table->GetConstantElement(arr, 3), nullptr);
  EXPECT_EQ(vs.table->GetConstantElement(nullptr, 0), nullptr);
  EXPECT_EQ(vs.table->GetConstantElement("nothing", 0), nullptr);

  const D3DXCONSTANT_DESC d = Desc(second);
  EXPECT_EQ(d.RegisterIndex, Reg("arr") + 1);
  EXPECT_EQ(d.RegisterCount, 1u);
  EXPECT_EQ(d.Class, D3DXPC_VECTOR);
  EXPECT_EQ(d.Elements, 1u);
  EXPECT_EQ(d.Bytes, 16u);

  const D3DXCONSTANT_DESC m = Desc(vs.table->GetConstantElement("mats", 1));
  EXPECT_EQ(m.RegisterIndex, Reg("mats") + 4);
  EXPECT_EQ(m.RegisterCount, 4u);
  EXPECT_EQ(m.Bytes, 64u);
}

TEST_F(ConstantTableWrites, SettersOnAnElementStayInsideIt) {
  ASSERT_EQ(vs.table->SetVectorArray(device, "arr[2]", kRows, 4), D3D_OK);
  ASSERT_EQ(vs.table->SetMatrix(device, vs.table->GetConstantElement("mats", 1), &kM), D3D_OK);
  const std::vector<fake::Call> w = Writes();
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0].args, (std::vector<uint64_t>{Reg("arr") + 2, 1}));
  EXPECT_EQ(w[0].floats, (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(w[1].args, (std::vector<uint64_t>{Reg("mats") + 4, 4}));
  EXPECT_EQ(w[1].floats, (std::vector<float>{1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}));
}

TEST_F(ConstantTableWrites, ConstantsWithoutInitialisersHaveNoDefaults) {
  for (const char* name : {"f", "f4", "mvp", "arr", "arr[1]"}) {
    EXPECT_EQ(Desc(vs.table->GetConstantByName(nullptr, name)).DefaultValue, nullptr) << name;
  }
  EXPECT_EQ(vs.table->SetDefaults(device), D3D_OK);
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(vs.table->SetDefaults(nullptr), D3DERR_INVALIDCALL);
}

// Globals declared with values, read by the code so that they are in the
// table; each with the registers D3DX keeps as its DefaultValue.
const char kInitialised[] =
    "float f = 9.99;\n"
    "float4 v4 = {10, 20, 30, 40};\n"
    "float3 v3 = float3(1, -2, .5f);\n"
    "float arr[3] = {100, 200, 300};\n"
    "float2 pairs[2] = {1, 2, 3, 4};\n"
    "float2 nested[2] = {{5, 6}, {7, 8}};\n"
    "float4x4 m = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};\n"
    "float3x2 c32 = {1, 2, 3, 4, 5, 6};\n"
    "row_major float2x3 r23 = {1, 2, 3, 4, 5, 6};\n"
    "float4 splat = 0.5;\n"
    "float4 folded = {1e-3, 1.0f, 2 * (3 + 1), 7 / 2};\n"
    "static const float kScale = 2;\n"
    "float4 named : register(c40) = float4(kScale, kScale * 2, -kScale, (int)2.7) ;\n"
    "float4 annotated < string UIName = \"a; b = 1\"; > = {1, 2, 3, 4}, second = -1;\n"
    "float4 plain;\n"
    "float4 called = sin(float4(0, 0, 0, 0)) + float4(0, 0.5, 1, 0);\n"
    "float4 swizzled = float4(1, 2, 3, 4).wzyx;\n"
    "float4 main(float4 p : POSITION) : POSITION {\n"
    "  return f + v4 + v3.xyzz + arr[0] + arr[1] + arr[2] + pairs[0].xyxy + pairs[1].xyxy + nested[1].xyxy\n"
    "       + mul(p, m) + mul(mul(p.xyz, c32), r23).xyzz + splat + folded + named + annotated + second\n"
    "       + plain + called + swizzled;\n"
    "}\n";

struct DefaultCase {
  const char* name;
  std::vector<float> registers;  // empty: no default value
};

const std::vector<DefaultCase>& InitialisedCases() {
  static const std::vector<DefaultCase> cases = {
      {"f", {9.99f, 0, 0, 0}},
      {"v4", {10, 20, 30, 40}},
      {"v3", {1, -2, 0.5f, 0}},
      {"arr", {100, 0, 0, 0, 200, 0, 0, 0, 300, 0, 0, 0}},
      {"pairs", {1, 2, 0, 0, 3, 4, 0, 0}},
      {"nested", {5, 6, 0, 0, 7, 8, 0, 0}},
      // column_major: one column per register.
      {"m", {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}},
      {"c32", {1, 3, 5, 0, 2, 4, 6, 0}},
      // row_major: one row per register.
      {"r23", {1, 2, 3, 0, 4, 5, 6, 0}},
      {"splat", {0.5f, 0.5f, 0.5f, 0.5f}},
      {"folded", {0.001f, 1, 8, 3}},
      {"named", {2, 4, -2, 2}},
      {"annotated", {1, 2, 3, 4}},
      {"second", {-1, -1, -1, -1}},
      {"plain", {}},
      {"called", {0, 0.5f, 1, 0}},
      {"swizzled", {}},
  };
  return cases;
}

TEST_F(ConstantTableWrites, DefaultValuesHoldTheInitialisersInRegisterLayout) {
  Compiled shader;
  Compile(&shader, kInitialised, "main", "vs_3_0");
  ASSERT_EQ(shader.hr, D3D_OK) << shader.Messages();
  // The same table read back from the code buffer, as a cached compile
  // gives it.
  ID3DXConstantTable* fromCode = nullptr;
  ASSERT_EQ(D3DXGetShaderConstantTable(static_cast<const DWORD*>(shader.code->GetBufferPointer()), &fromCode), D3D_OK);
  for (ID3DXConstantTable* table : {shader.table, fromCode}) {
    for (const DefaultCase& c : InitialisedCases()) {
      SCOPED_TRACE(c.name);
      D3DXCONSTANT_DESC d = {};
      UINT n = 1;
      ASSERT_EQ(table->GetConstantDesc(table->GetConstantByName(nullptr, c.name), &d, &n), D3D_OK);
      if (c.registers.empty()) {
        EXPECT_EQ(d.DefaultValue, nullptr);
        continue;
      }
      ASSERT_NE(d.DefaultValue, nullptr);
      ASSERT_EQ(d.RegisterCount * 4, c.registers.size());
      std::vector<float> got(c.registers.size());
      std::memcpy(got.data(), d.DefaultValue, got.size() * sizeof(float));
      EXPECT_EQ(got, c.registers);
    }
  }
  // An array element's default is its part of the array's.
  D3DXCONSTANT_DESC d = {};
  UINT n = 1;
  ASSERT_EQ(fromCode->GetConstantDesc(fromCode->GetConstantElement("arr", 1), &d, &n), D3D_OK);
  ASSERT_NE(d.DefaultValue, nullptr);
  EXPECT_EQ(static_cast<const float*>(d.DefaultValue)[0], 200.0f);
  EXPECT_EQ(d.RegisterCount, 1u);
  fromCode->Release();
}

TEST_F(ConstantTableWrites, SetDefaultsWritesEachDefaultsRegisters) {
  for (const char* profile : {"vs_3_0", "ps_3_0"}) {
    SCOPED_TRACE(profile);
    Compiled shader;
    const bool pixel = profile[0] == 'p';
    std::string source = kInitialised;
    if (pixel) source.replace(source.find("POSITION) : POSITION"), 21, "TEXCOORD0) : COLOR");
    Compile(&shader, source, "main", profile);
    ASSERT_EQ(shader.hr, D3D_OK) << shader.Messages();
    fake::Clear();
    ASSERT_EQ(shader.table->SetDefaults(device), D3D_OK);
    const std::vector<fake::Call> w =
        fake::CallsNamed(pixel ? "SetPixelShaderConstantF" : "SetVertexShaderConstantF");
    size_t next = 0;
    // In the table's order, one call per constant with a default.
    for (UINT i = 0; shader.table->GetConstant(nullptr, i) != nullptr; ++i) {
      D3DXCONSTANT_DESC d = {};
      UINT n = 1;
      ASSERT_EQ(shader.table->GetConstantDesc(shader.table->GetConstant(nullptr, i), &d, &n), D3D_OK);
      if (d.DefaultValue == nullptr) continue;
      SCOPED_TRACE(d.Name);
      ASSERT_LT(next, w.size());
      EXPECT_EQ(w[next].args, (std::vector<uint64_t>{d.RegisterIndex, d.RegisterCount}));
      const float* values = static_cast<const float*>(d.DefaultValue);
      EXPECT_EQ(w[next].floats, std::vector<float>(values, values + d.RegisterCount * 4));
      ++next;
    }
    EXPECT_EQ(next, w.size());
    EXPECT_EQ(next, 15u);
  }
}

// Defaults of constants in bool and int registers go to those registers.
TEST_F(ConstantTableWrites, SetDefaultsWritesBoolAndIntRegisters) {
  Compiled shader;
  Compile(&shader,
          "bool bOn = true;\nint nSteps = 3;\nfloat4 vBase = {0.5, 0, 0, 1};\n"
          "float4 main(float4 p : POSITION) : POSITION {\n"
          "  float4 c = vBase;\n  if (bOn) c.x = 1;\n  for (int i = 0; i < nSteps; i++) c.y += 0.25;\n"
          "  return c + p;\n}\n",
          "main", "vs_3_0");
  ASSERT_EQ(shader.hr, D3D_OK) << shader.Messages();
  struct Expect {
    const char* name;
    D3DXREGISTER_SET set;
    const char* call;
  } expects[] = {{"bOn", D3DXRS_BOOL, "SetVertexShaderConstantB"},
                 {"nSteps", D3DXRS_INT4, "SetVertexShaderConstantI"},
                 {"vBase", D3DXRS_FLOAT4, "SetVertexShaderConstantF"}};
  fake::Clear();
  ASSERT_EQ(shader.table->SetDefaults(device), D3D_OK);
  for (const Expect& e : expects) {
    SCOPED_TRACE(e.name);
    D3DXCONSTANT_DESC d = {};
    UINT n = 1;
    ASSERT_EQ(shader.table->GetConstantDesc(shader.table->GetConstantByName(nullptr, e.name), &d, &n), D3D_OK);
    EXPECT_EQ(d.RegisterSet, e.set);
    ASSERT_NE(d.DefaultValue, nullptr);
    const std::vector<fake::Call> calls = fake::CallsNamed(e.call);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{d.RegisterIndex, d.RegisterCount}));
    if (e.set == D3DXRS_BOOL) {
      EXPECT_EQ(calls[0].ints, (std::vector<int>{1}));
    } else if (e.set == D3DXRS_INT4) {
      EXPECT_EQ(calls[0].ints.at(0), 3);
    } else {
      EXPECT_EQ(calls[0].floats, (std::vector<float>{0.5f, 0, 0, 1}));
    }
  }
}

// HLSL's globals are const by default: a `const` float global is a
// constant of the table with its default, not a value folded into the code.
// Static ones are not constants; int ones stay folded (they may bound
// loops).
TEST_F(ConstantTableWrites, ConstFloatGlobalsAreConstantsWithDefaults) {
  Compiled shader;
  Compile(&shader,
          "const float4 tint = {1, 0.5, 0.25, 1};\n"
          "static const float4 kFixed = {2, 2, 2, 2};\n"
          "const static float kAlso = 3;\n"
          "const int kCount = 3;\n"
          "uniform const float2x2 cm = {1, 2, 3, 4};\n"
          "float4 twice(const float4 x) { return x * 2; }\n"
          "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
          "  float4 sum = 0;\n"
          "  for (int i = 0; i < kCount; ++i) sum += twice(tint);\n"
          "  return sum + kFixed + kAlso + mul(uv, cm).xyxy;\n"
          "}\n",
          "main", "ps_3_0");
  ASSERT_EQ(shader.hr, D3D_OK) << shader.Messages();
  for (const char* folded : {"kFixed", "kAlso", "kCount"}) {
    EXPECT_EQ(shader.table->GetConstantByName(nullptr, folded), nullptr) << folded;
  }
  const struct {
    const char* name;
    std::vector<float> registers;
  } constants[] = {{"tint", {1, 0.5f, 0.25f, 1}}, {"cm", {1, 3, 0, 0, 2, 4, 0, 0}}};
  for (const auto& c : constants) {
    SCOPED_TRACE(c.name);
    D3DXCONSTANT_DESC d = {};
    UINT n = 1;
    ASSERT_EQ(shader.table->GetConstantDesc(shader.table->GetConstantByName(nullptr, c.name), &d, &n), D3D_OK);
    ASSERT_NE(d.DefaultValue, nullptr);
    ASSERT_EQ(d.RegisterCount * 4, c.registers.size());
    const float* values = static_cast<const float*>(d.DefaultValue);
    EXPECT_EQ(std::vector<float>(values, values + c.registers.size()), c.registers);
  }
}

// What the scan makes of initialisers it cannot evaluate, and of text
// that is no HLSL at all: no value, and no crash.
TEST(ScanInitialisers, EvaluatesLiteralsAndLeavesTheRestOut) {
  struct Case {
    const char* source;
    const char* name;
    std::vector<double> values;  // empty: not found
  } cases[] = {
      {"float a = 0x10;", "a", {16}},
      {"float a = 010;", "a", {8}},
      {"float a = 2u + 1.5h;", "a", {3.5}},
      {"int a = 2.7;", "a", {2}},
      {"int a = -7 / 2;", "a", {-3}},
      {"float a = 7 % 4;", "a", {3}},
      {"bool2 a = {true, 0.5};", "a", {1, 1}},
      {"half4 a = half4(half2(1, 2), 3, 4);", "a", {1, 2, 3, 4}},
      {"vector<float, 2> a = {1, 2};", "a", {1, 2}},
      {"uniform extern const float a = 1;", "a", {1}},
      {"float a = 1, b = a * 3;", "b", {3}},
      {"cbuffer cb : register(b0) { float a = 5; }", "a", {5}},
      {"float3 a = normalize(float3(3, 0, 4));", "a", {0.6, 0, 0.8}},
      {"float a = lerp(2, 4, 0.25) + max(1, 3) + dot(float2(1, 2), float2(3, 4));", "a", {16.5}},
      {"float2 a = pow(float2(2, 3), 2) - saturate(float2(-1, 0.5));", "a", {4, 8.5}},
      {"float3 a = cross(float3(1, 0, 0), float3(0, 1, 0));", "a", {0, 0, 1}},
      {"float a = shade(1);", "a", {}},
      {"float a = clamp(5, 0);", "a", {}},
      {"float a = 1 < 2;", "a", {}},
      {"static float a = 1;", "a", {}},
      {"float a = 1 / 0;", "a", {}},
      {"float a = b;", "a", {}},
      {"float a = {1, 2,", "a", {}},
      {"float a = ((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((1))))))))))))))))))))))))))))"
       "))))))))))))))))))))))))))))))))))));",
       "a",
       {}},
      {"float a = 1.2.3;", "a", {}},
      {"float a = 08;", "a", {}},
      {"float a = {};", "a", {}},
      {"float2 a = float2(1, 2) + float3(1, 2, 3);", "a", {}},
      {"float3 a = float4(1, 2, 3, 4);", "a", {1, 2, 3}},
      {"float a = float2(5, 6) * 2;", "a", {10}},
      {"float3 a = {1, 2, 3, 4};", "a", {1, 2, 3, 4}},  // not cut: its length gives no default
      {"float2 a[1] = float4(1, 2, 3, 4);", "a", {1, 2, 3, 4}},
      {"float4 f(float a = 1) { return a; }", "a", {}},
      {"struct S { float a; }; S s = { 1 };", "a", {}},
      {"float a = 1 float b = 2;", "b", {}},
      {"= = ; } } { ( [ < float", "float", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const std::map<std::string, std::vector<double>> found =
        ostrevin::ScanInitialisers(ostrevin::BuildSourceModel(c.source, "main"));
    const auto it = found.find(c.name);
    if (c.values.empty()) {
      EXPECT_EQ(it, found.end());
    } else {
      ASSERT_NE(it, found.end());
      EXPECT_EQ(it->second, c.values);
    }
  }
}

// The model of a preprocessed source: positions from #line, the file
// scope's declarations, and the rewrites they call for.
TEST(SourceModel, ReadsTheFileScopeOfThePreprocessedText) {
  const std::string text =
      "#line 1 \"a.h\"\n"
      "static const float k = 2;\n"
      "#line 7 \"memory\"\n"
      "const float4 tint : register(c4) = {1, 2, 3, k};\n"
      "sampler s = sampler_state { Texture = <t>; };\n"
      "texture t <string name = \"x.dds\";>;\n"
      "struct S { float4 f; };\n"
      "float2 o[2] = {1, 2, 3, 4};\n"
      "float4 main(uniform float4 u : register(c9), float2 uv : TEXCOORD0) : COLOR {\n"
      "  float2 a, b; float4(a, b) = tex2D(s, uv); return tint + u + a.xyxy;\n"
      "}\n"
      "technique T { pass P { PixelShader = compile ps_2_0 main(); } }\n";
  const ostrevin::SourceModel model = ostrevin::BuildSourceModel(text, "main");
  ASSERT_EQ(model.files.size(), 3u);
  std::vector<std::string> globals;
  for (const ostrevin::HlslGlobal& g : model.globals) globals.push_back(g.name);
  EXPECT_EQ(globals, (std::vector<std::string>{"k", "tint", "s", "o"}));
  const ostrevin::HlslToken& tintToken = model.tokens[model.globals[1].nameToken];
  EXPECT_EQ(tintToken.text, "tint");
  EXPECT_EQ(tintToken.line, 7);
  EXPECT_EQ(model.files[static_cast<size_t>(tintToken.file)], "memory");
  EXPECT_EQ(model.tokens[model.globals[0].nameToken].line, 1);

  const std::map<std::string, ostrevin::ExplicitRegister> registers = ostrevin::ScanRegisters(model);
  ASSERT_EQ(registers.size(), 2u);
  EXPECT_EQ(registers.at("tint").index, 4u);
  EXPECT_EQ(registers.at("u").index, 9u);
  EXPECT_EQ(ostrevin::EntryPointUniforms(model), std::vector<std::string>{"u"});
  EXPECT_EQ(ostrevin::ScanInitialisers(model).at("tint"), (std::vector<double>{1, 2, 3, 2}));

  // Each line keeps its place; what glslang cannot take is rewritten.
  const std::string rewritten = ostrevin::ApplyEdits(text, ostrevin::RewritesForGlslang(model, text));
  EXPECT_EQ(std::count(rewritten.begin(), rewritten.end(), '\n'), std::count(text.begin(), text.end(), '\n'));
  for (const char* expected :
       {"\n      float4 tint", "sampler2D s ", "float2 o[2] = {{1, 2}, {3, 4}};",
        "{ float4 ostrevin_target = tex2D(s, uv); a = ostrevin_target.xy; b = ostrevin_target.zw; }",
        "static const float k"})
    EXPECT_NE(rewritten.find(expected), std::string::npos) << expected << " in\n" << rewritten;
  for (const char* gone : {"sampler_state", "texture t", "technique"})
    EXPECT_EQ(rewritten.find(gone), std::string::npos) << gone << " in\n" << rewritten;
}

}  // namespace
