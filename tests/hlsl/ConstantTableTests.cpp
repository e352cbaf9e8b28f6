// ID3DXConstantTable: setters on constants of another class, array element
// handles, default values; observed as register writes on the fake device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/FakeDevice.h"
#include "hlsl/HlslTestUtil.h"

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

}  // namespace
