// ID3DXConstantTable's SetValue and matrix-array setters (plain, pointer,
// transposed): the registers they write on each kind of constant, and the
// calls they refuse; observed on the fake device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/FakeDevice.h"
#include "hlsl/HlslTestUtil.h"

namespace {

// A column-major and a row-major matrix, a matrix array, a vector, vector and
// scalar arrays, a sampler, and a bool and an int in flow control (bool and
// int registers).
const char* kShader =
    "float4x4 m;\nfloat4x4 ms[2];\nrow_major float4x4 rm;\nfloat4 v;\nbool b;\nint n;\nsampler2D s;\n"
    "float4 va[3];\nfloat sa[5];\n"
    "float4 main(float4 p : POSITION) : POSITION {\n"
    "  float4 r = mul(p, m) + mul(p, ms[0]) + mul(p, ms[1]) + mul(p, rm) + v + tex2Dlod(s, p);\n"
    "  r += va[0] + va[1] + va[2] + sa[0] + sa[1] + sa[2] + sa[3] + sa[4];\n"
    "  if (b) for (int i = 0; i < n; i++) r.x += p.z;\n"
    "  return r;\n}\n";

class BulkSetters : public hlsltest::FakeDeviceShaderTest {
 protected:
  void SetUp() override { SetUpWith(kShader); }
  UINT Reg(const char* name) {
    D3DXCONSTANT_DESC d = {};
    UINT n = 1;
    EXPECT_EQ(vs.table->GetConstantDesc(vs.table->GetConstantByName(nullptr, name), &d, &n), D3D_OK);
    return d.RegisterIndex;
  }
  // The shader constant writes since the last Clear().
  std::vector<fake::Call> ConstantWrites() {
    std::vector<fake::Call> out;
    for (const fake::Call& c : fake::Calls()) {
      if (c.name.find("ShaderConstant") != std::string::npos) out.push_back(c);
    }
    return out;
  }
};

const D3DXMATRIX kA(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
const D3DXMATRIX kB(17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
const D3DXMATRIX kAB[2] = {kA, kB};
const D3DXMATRIX kABA[3] = {kA, kB, kA};
const D3DXMATRIX* kPointersBA[2] = {&kB, &kA};

const std::vector<float> kRowsA = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const std::vector<float> kColsA = {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16};
const std::vector<float> kRowsB = {17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const std::vector<float> kColsB = {17, 21, 25, 29, 18, 22, 26, 30, 19, 23, 27, 31, 20, 24, 28, 32};

std::vector<float> Cat(std::vector<float> a, const std::vector<float>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

enum class Call { Value, MatrixArray, MatrixPointerArray, MatrixTransposeArray, MatrixTransposePointerArray };

// Each setter on each kind of constant writes the constant's registers in
// one call; a float4x4 is stored a column per register, a row_major one a
// row per register. SetValue's data is the constant's values in HLSL order.
TEST_F(BulkSetters, WritesPerConstantKind) {
  const float floats32[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                              17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
  const BOOL two = 2;
  const float one = 1.0f;
  const INT three = 3;
  struct Case {
    const char* what;
    Call call;
    const char* constant;
    const void* data;  // SetValue's data, or the matrices
    UINT size;         // SetValue's bytes, or the matrix count
    const char* device;
    std::vector<float> floats;  // expected float registers (empty: no float write)
    std::vector<int> ints;      // expected bool or int registers
  } cases[] = {
      {"value on a matrix", Call::Value, "m", floats32, 64, "SetVertexShaderConstantF", kColsA, {}},
      {"value on a row_major matrix", Call::Value, "rm", floats32, 64, "SetVertexShaderConstantF", kRowsA, {}},
      {"value on a matrix array", Call::Value, "ms", floats32, 128, "SetVertexShaderConstantF", Cat(kColsA, kColsB),
       {}},
      {"value on a matrix array: whole elements", Call::Value, "ms", floats32, 124, "SetVertexShaderConstantF", kColsA,
       {}},
      {"value on a vector", Call::Value, "v", floats32, 20, "SetVertexShaderConstantF", {1, 2, 3, 4}, {}},
      {"value short of a vector", Call::Value, "v", floats32, 12, nullptr, {}, {}},
      {"no bytes", Call::Value, "m", floats32, 0, nullptr, {}, {}},
      {"value on a bool: a BOOL as it is", Call::Value, "b", &two, 4, "SetVertexShaderConstantB", {}, {2}},
      {"float bits on a bool: not converted", Call::Value, "b", &one, 4, "SetVertexShaderConstantB", {},
       {0x3f800000}},
      {"value on an int", Call::Value, "n", &three, 4, "SetVertexShaderConstantI", {}, {3, 0, 1, 0}},

      {"matrices on a matrix array", Call::MatrixArray, "ms", kAB, 2, "SetVertexShaderConstantF",
       Cat(kColsA, kColsB), {}},
      {"one matrix on a matrix array", Call::MatrixArray, "ms", kAB, 1, "SetVertexShaderConstantF", kColsA, {}},
      {"more matrices than elements", Call::MatrixArray, "ms", kABA, 3, "SetVertexShaderConstantF",
       Cat(kColsA, kColsB), {}},
      {"matrices on a matrix: the first", Call::MatrixArray, "m", kAB, 2, "SetVertexShaderConstantF", kColsA, {}},
      {"matrices on a row_major matrix", Call::MatrixArray, "rm", kAB, 2, "SetVertexShaderConstantF", kRowsA, {}},
      {"matrices on a vector: the first row", Call::MatrixArray, "v", kAB, 2, "SetVertexShaderConstantF",
       {1, 2, 3, 4}, {}},
      {"a matrix on a vector array: a row each", Call::MatrixArray, "va", kAB, 1, "SetVertexShaderConstantF",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}},
      {"a matrix on a scalar array: a float each", Call::MatrixArray, "sa", kAB, 1, "SetVertexShaderConstantF",
       {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0}, {}},
      {"matrices on a bool", Call::MatrixArray, "b", kAB, 2, "SetVertexShaderConstantB", {}, {1}},
      {"matrices on an int", Call::MatrixArray, "n", kAB, 2, "SetVertexShaderConstantI", {}, {1, 0, 1, 0}},
      {"no matrices", Call::MatrixArray, "ms", kAB, 0, nullptr, {}, {}},

      {"pointers on a matrix array, in their order", Call::MatrixPointerArray, "ms", kPointersBA, 2,
       "SetVertexShaderConstantF", Cat(kColsB, kColsA), {}},
      {"pointers on a row_major matrix", Call::MatrixPointerArray, "rm", kPointersBA, 2, "SetVertexShaderConstantF",
       kRowsB, {}},
      {"pointers on a vector", Call::MatrixPointerArray, "v", kPointersBA, 1, "SetVertexShaderConstantF",
       {17, 18, 19, 20}, {}},

      {"transposed on a matrix array", Call::MatrixTransposeArray, "ms", kAB, 2, "SetVertexShaderConstantF",
       Cat(kRowsA, kRowsB), {}},
      {"transposed on a row_major matrix", Call::MatrixTransposeArray, "rm", kAB, 1, "SetVertexShaderConstantF",
       kColsA, {}},
      {"transposed on a vector: the first column", Call::MatrixTransposeArray, "v", kAB, 1,
       "SetVertexShaderConstantF", {1, 5, 9, 13}, {}},
      {"transposed on a vector array: a column each", Call::MatrixTransposeArray, "va", kAB, 1,
       "SetVertexShaderConstantF", {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15}, {}},
      {"transposed on a scalar array: a row's first float each, on into the next matrix",
       Call::MatrixTransposeArray, "sa", kAB, 2, "SetVertexShaderConstantF",
       {1, 0, 0, 0, 5, 0, 0, 0, 9, 0, 0, 0, 13, 0, 0, 0, 17, 0, 0, 0}, {}},
      {"transposed pointers on a matrix array", Call::MatrixTransposePointerArray, "ms", kPointersBA, 2,
       "SetVertexShaderConstantF", Cat(kRowsB, kRowsA), {}},
      {"transposed pointers on a matrix", Call::MatrixTransposePointerArray, "m", kPointersBA, 1,
       "SetVertexShaderConstantF", kRowsB, {}},
      {"transposed pointers on an int", Call::MatrixTransposePointerArray, "n", kPointersBA, 1,
       "SetVertexShaderConstantI", {}, {17, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::Clear();
    ID3DXConstantTable* t = vs.table;
    const auto* matrices = static_cast<const D3DXMATRIX*>(c.data);
    const auto** pointers = static_cast<const D3DXMATRIX**>(const_cast<void*>(c.data));
    HRESULT hr = E_FAIL;
    switch (c.call) {
      case Call::Value: hr = t->SetValue(device, c.constant, c.data, c.size); break;
      case Call::MatrixArray: hr = t->SetMatrixArray(device, c.constant, matrices, c.size); break;
      case Call::MatrixPointerArray: hr = t->SetMatrixPointerArray(device, c.constant, pointers, c.size); break;
      case Call::MatrixTransposeArray: hr = t->SetMatrixTransposeArray(device, c.constant, matrices, c.size); break;
      case Call::MatrixTransposePointerArray:
        hr = t->SetMatrixTransposePointerArray(device, c.constant, pointers, c.size);
        break;
    }
    EXPECT_EQ(hr, D3D_OK);
    const std::vector<fake::Call> w = ConstantWrites();
    if (c.device == nullptr) {
      EXPECT_TRUE(w.empty());
      continue;
    }
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].name, c.device);
    const size_t registers = c.floats.empty() ? (c.ints.size() == 1 ? 1 : c.ints.size() / 4) : c.floats.size() / 4;
    EXPECT_EQ(w[0].args, (std::vector<uint64_t>{Reg(c.constant), registers}));
    EXPECT_EQ(w[0].floats, c.floats);
    EXPECT_EQ(w[0].ints, c.ints);
  }
}

// Bad handles, samplers, a missing device, data or matrix are refused and
// write nothing.
TEST_F(BulkSetters, Refusals) {
  ID3DXConstantTable* t = vs.table;
  const float data[16] = {};
  const D3DXMATRIX* withNull[2] = {&kA, nullptr};
  struct Case {
    const char* what;
    HRESULT hr;
  } cases[] = {
      {"value: unknown name", t->SetValue(device, "nope", data, 64)},
      {"value: sampler", t->SetValue(device, "s", data, 4)},
      {"value: no device", t->SetValue(nullptr, "m", data, 64)},
      {"value: no data", t->SetValue(device, "m", nullptr, 64)},
      {"value: no data, no bytes", t->SetValue(device, "m", nullptr, 0)},
      {"matrix array: unknown name", t->SetMatrixArray(device, "nope", kAB, 2)},
      {"matrix array: sampler", t->SetMatrixArray(device, "s", kAB, 1)},
      {"matrix array: no device", t->SetMatrixArray(nullptr, "ms", kAB, 2)},
      {"matrix array: no matrices", t->SetMatrixArray(device, "ms", nullptr, 2)},
      {"transposed array: no matrices", t->SetMatrixTransposeArray(device, "ms", nullptr, 1)},
      {"transposed array: unknown name", t->SetMatrixTransposeArray(device, "nope", kAB, 1)},
      {"pointer array: unknown name", t->SetMatrixPointerArray(device, "nope", kPointersBA, 2)},
      {"pointer array: no pointers", t->SetMatrixPointerArray(device, "ms", nullptr, 2)},
      {"pointer array: a null pointer", t->SetMatrixPointerArray(device, "ms", withNull, 2)},
      {"transposed pointers: no device", t->SetMatrixTransposePointerArray(nullptr, "ms", kPointersBA, 2)},
      {"transposed pointers: a null pointer", t->SetMatrixTransposePointerArray(device, "ms", withNull, 2)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.hr, D3DERR_INVALIDCALL) << c.what;
  EXPECT_TRUE(ConstantWrites().empty());
  // No matrices to read: nothing to refuse.
  EXPECT_EQ(t->SetMatrixArray(device, "ms", nullptr, 0), D3D_OK);
  EXPECT_EQ(t->SetMatrixPointerArray(device, "ms", nullptr, 0), D3D_OK);
}

}  // namespace
