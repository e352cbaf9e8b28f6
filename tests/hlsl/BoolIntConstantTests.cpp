// Bool, int and struct constants: where D3DX places them (register set,
// index, count, class, type) and what the constant table's setters write to
// the device for each register set, observed on the fake device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake/FakeDevice.h"
#include "hlsl/HlslTestUtil.h"

namespace {

using hlsltest::Compile;
using hlsltest::Compiled;

// The registerset shader of the D3DX conformance tests: a bool deciding an
// `if`, an int counting loops, and a bool and an int in arithmetic.
const char* kFlowControl =
    "bool b;\nint n;\nfloat f;\nint nf;\nbool bf;\n"
    "float4 main(float4 pos : POSITION) : POSITION {\n"
    "  float4 tmp = 0;\n  int i;\n"
    "  if (b) for (i = 0; i < n; i++) tmp.x += pos.z * f * nf;\n"
    "  else for (i = 0; i < n; i++) tmp.y += pos.y * f * bf;\n"
    "  return tmp;\n}\n";

D3DXCONSTANT_DESC Desc(ID3DXConstantTable* t, D3DXHANDLE h) {
  D3DXCONSTANT_DESC d = {};
  UINT n = 1;
  EXPECT_EQ(t->GetConstantDesc(h, &d, &n), D3D_OK);
  return d;
}

struct Placement {
  const char* name;
  D3DXREGISTER_SET set;
  UINT index, count;
  D3DXPARAMETER_CLASS cls;
  D3DXPARAMETER_TYPE type;
  UINT rows, columns, elements, members;
};

void ExpectPlacements(ID3DXConstantTable* t, const std::vector<Placement>& cases) {
  for (const Placement& p : cases) {
    SCOPED_TRACE(p.name);
    const D3DXHANDLE h = t->GetConstantByName(nullptr, p.name);
    ASSERT_NE(h, nullptr);
    const D3DXCONSTANT_DESC d = Desc(t, h);
    EXPECT_EQ(d.RegisterSet, p.set);
    EXPECT_EQ(d.RegisterIndex, p.index);
    EXPECT_EQ(d.RegisterCount, p.count);
    EXPECT_EQ(d.Class, p.cls);
    EXPECT_EQ(d.Type, p.type);
    EXPECT_EQ(d.Rows, p.rows);
    EXPECT_EQ(d.Columns, p.columns);
    EXPECT_EQ(d.Elements, p.elements);
    EXPECT_EQ(d.StructMembers, p.members);
  }
}

TEST(BoolIntPlacement, FlowControlUseChoosesTheRegisterSet) {
  Compiled vs;
  Compile(&vs, kFlowControl, "main", "vs_3_0");
  ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
  ExpectPlacements(vs.table, {
                                 {"b", D3DXRS_BOOL, 0, 1, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 1, 0},
                                 {"n", D3DXRS_INT4, 0, 1, D3DXPC_SCALAR, D3DXPT_INT, 1, 1, 1, 0},
                                 {"f", D3DXRS_FLOAT4, 0, 1, D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 1, 0},
                                 {"nf", D3DXRS_FLOAT4, 1, 1, D3DXPC_SCALAR, D3DXPT_INT, 1, 1, 1, 0},
                                 {"bf", D3DXRS_FLOAT4, 2, 1, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 1, 0},
                             });
  // ps_2_0 has no bool or int registers: everything is read as floats.
  Compiled ps;
  Compile(&ps,
          "bool b;\nint n;\nfloat4 main(float2 t : TEXCOORD0) : COLOR {\n"
          "  float4 c = 0;\n  if (b) c.x = 1;\n  for (int i = 0; i < n; i++) c.y += 0.25;\n  return c;\n}\n",
          "main", "ps_2_0");
  ASSERT_EQ(ps.hr, D3D_OK) << ps.Messages();
  ExpectPlacements(ps.table, {
                                 {"b", D3DXRS_FLOAT4, 0, 1, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 1, 0},
                                 {"n", D3DXRS_FLOAT4, 1, 1, D3DXPC_SCALAR, D3DXPT_INT, 1, 1, 1, 0},
                             });
}

TEST(BoolIntPlacement, AnnotationsArraysAndVectors) {
  Compiled vs;
  Compile(&vs,
          "bool b : register(b3);\nint n : register(i2);\nbool flags[3];\nint4 iv;\nbool2 bv;\nbool both;\n"
          "float4 main(float4 pos : POSITION) : POSITION {\n"
          "  float4 tmp = pos;\n"
          "  if (b) tmp.x += 1;\n"
          "  if (flags[2]) tmp.y += 1;\n"
          "  if (bv.y) tmp.z += 1;\n"
          "  if (both) tmp.x += both ? 2 : 3;\n"
          "  for (int i = 0; i < n; i++) tmp.w += 1;\n"
          "  return tmp + iv;\n}\n",
          "main", "vs_2_0");
  ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
  ExpectPlacements(vs.table, {
                                 {"b", D3DXRS_BOOL, 3, 1, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 1, 0},
                                 {"n", D3DXRS_INT4, 2, 1, D3DXPC_SCALAR, D3DXPT_INT, 1, 1, 1, 0},
                                 {"flags", D3DXRS_BOOL, 0, 3, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 3, 0},
                                 {"iv", D3DXRS_FLOAT4, 0, 1, D3DXPC_VECTOR, D3DXPT_INT, 1, 4, 1, 0},
                                 {"bv", D3DXRS_BOOL, 4, 2, D3DXPC_VECTOR, D3DXPT_BOOL, 1, 2, 1, 0},
                                 // branched on and computed with: read as a float
                                 {"both", D3DXRS_FLOAT4, 1, 1, D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 1, 0},
                             });
}

TEST(BoolIntPlacement, StructsMemberByMember) {
  Compiled vs;
  Compile(&vs,
          "struct S { float f; int i; float2 v; };\nS s;\nS arr[2] : register(c10);\n"
          "float4 main(float4 pos : POSITION) : POSITION {\n"
          "  return pos * s.f + s.i + s.v.xyxy + arr[1].f + arr[0].v.x;\n}\n",
          "main", "vs_3_0");
  ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
  ExpectPlacements(vs.table, {
                                 {"s", D3DXRS_FLOAT4, 0, 3, D3DXPC_STRUCT, D3DXPT_VOID, 1, 4, 1, 3},
                                 {"s.f", D3DXRS_FLOAT4, 0, 1, D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 1, 0},
                                 {"s.i", D3DXRS_FLOAT4, 1, 1, D3DXPC_SCALAR, D3DXPT_INT, 1, 1, 1, 0},
                                 {"s.v", D3DXRS_FLOAT4, 2, 1, D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 2, 1, 0},
                                 {"arr", D3DXRS_FLOAT4, 10, 6, D3DXPC_STRUCT, D3DXPT_VOID, 1, 4, 2, 3},
                                 {"arr[1]", D3DXRS_FLOAT4, 13, 3, D3DXPC_STRUCT, D3DXPT_VOID, 1, 4, 1, 3},
                                 {"arr[1].f", D3DXRS_FLOAT4, 13, 1, D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 1, 0},
                             });
  // Members by index and by name from the struct's handle; names without the path.
  const D3DXHANDLE s = vs.table->GetConstantByName(nullptr, "s");
  const D3DXHANDLE i = vs.table->GetConstant(s, 1);
  ASSERT_NE(i, nullptr);
  EXPECT_STREQ(Desc(vs.table, i).Name, "i");
  EXPECT_EQ(vs.table->GetConstantByName(s, "i"), i);
  EXPECT_EQ(vs.table->GetConstant(s, 3), nullptr);
  const D3DXHANDLE element = vs.table->GetConstantElement(vs.table->GetConstantByName(nullptr, "arr"), 0);
  EXPECT_EQ(vs.table->GetConstantByName(element, "v"), vs.table->GetConstantByName(nullptr, "arr[0].v"));
  D3DXCONSTANTTABLE_DESC td = {};
  ASSERT_EQ(vs.table->GetDesc(&td), D3D_OK);
  EXPECT_EQ(td.Constants, 2u);
}

class BoolIntSetters : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = pp.BackBufferHeight = 64;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), D3D_OK);
    Compile(&vs, kFlowControl, "main", "vs_3_0");
    ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
    fake::Clear();
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  Compiled vs;
};

// Each setter on each kind of constant: the device call it makes and the
// register it writes, as D3DX converts the value (to the constant's type,
// then to the register's).
TEST_F(BoolIntSetters, ConversionsPerRegisterSet) {
  enum Setter { Float, Int, Bool, FloatArray };
  const float kF = 2.5f;
  const int kI = 2;
  const BOOL kB = 2;
  struct Case {
    const char* constant;
    Setter setter;
    const char* call;
    std::vector<float> floats;  // a float register
    std::vector<int> ints;      // an int register or a bool register
  } cases[] = {
      {"f", Int, "SetVertexShaderConstantF", {2, 0, 0, 0}, {}},
      {"f", Bool, "SetVertexShaderConstantF", {1, 0, 0, 0}, {}},
      {"nf", Float, "SetVertexShaderConstantF", {2, 0, 0, 0}, {}},  // truncated to the int it is
      {"nf", Bool, "SetVertexShaderConstantF", {1, 0, 0, 0}, {}},
      {"bf", Float, "SetVertexShaderConstantF", {1, 0, 0, 0}, {}},
      {"bf", Int, "SetVertexShaderConstantF", {1, 0, 0, 0}, {}},
      {"n", Float, "SetVertexShaderConstantI", {}, {2, 0, 1, 0}},  // loop start 0, step 1
      {"n", Int, "SetVertexShaderConstantI", {}, {2, 0, 1, 0}},
      {"n", Bool, "SetVertexShaderConstantI", {}, {1, 0, 1, 0}},
      {"n", FloatArray, "SetVertexShaderConstantI", {}, {2, 0, 1, 0}},
      {"b", Float, "SetVertexShaderConstantB", {}, {1}},
      {"b", Int, "SetVertexShaderConstantB", {}, {1}},
      {"b", Bool, "SetVertexShaderConstantB", {}, {2}},  // a bool is passed on as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.constant) + " / " + std::to_string(c.setter));
    fake::Clear();
    const D3DXHANDLE h = vs.table->GetConstantByName(nullptr, c.constant);
    HRESULT hr = E_FAIL;
    switch (c.setter) {
      case Float: hr = vs.table->SetFloat(device, h, kF); break;
      case Int: hr = vs.table->SetInt(device, h, kI); break;
      case Bool: hr = vs.table->SetBool(device, h, kB); break;
      case FloatArray: hr = vs.table->SetFloatArray(device, h, &kF, 1); break;
    }
    ASSERT_EQ(hr, D3D_OK);
    ASSERT_EQ(fake::Calls().size(), 1u);
    const fake::Call& call = fake::Calls()[0];
    EXPECT_EQ(call.name, c.call);
    EXPECT_EQ(call.args[0], Desc(vs.table, h).RegisterIndex);
    EXPECT_EQ(call.args[1], 1u);
    EXPECT_EQ(call.floats, c.floats);
    EXPECT_EQ(call.ints, c.ints);
  }
}

TEST_F(BoolIntSetters, StructsTakeValuesMemberByMember) {
  Compiled s;
  Compile(&s,
          "struct S { float f; int i; bool2 b; };\nS s;\n"
          "float4 main(float4 pos : POSITION) : POSITION { return pos * s.f + s.i + (s.b.y ? 1 : 0); }\n",
          "main", "vs_3_0");
  ASSERT_EQ(s.hr, D3D_OK) << s.Messages();
  fake::Clear();
  const float values[4] = {1.5f, 2.5f, 3.0f, 0.0f};
  ASSERT_EQ(s.table->SetFloatArray(device, "s", values, 4), D3D_OK);
  const std::vector<fake::Call> writes = fake::CallsNamed("SetVertexShaderConstantF");
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].floats, (std::vector<float>{1.5f, 0, 0, 0}));
  EXPECT_EQ(writes[1].floats, (std::vector<float>{2, 0, 0, 0}));  // the int member truncates
  EXPECT_EQ(writes[2].floats, (std::vector<float>{3, 0, 0, 0}));
  // Too few values for the next member: it is left alone.
  fake::Clear();
  ASSERT_EQ(s.table->SetFloatArray(device, "s", values, 3), D3D_OK);
  EXPECT_EQ(fake::CallsNamed("SetVertexShaderConstantF").size(), 2u);
}

}  // namespace
