// What a program does with a constant table it was handed: every constant
// described, looked up by name and element, and written (defaults, floats,
// a raw value, a matrix) to a device that reads every register it is given,
// so that AddressSanitizer sees a write that runs past the caller's data.
#pragma once

#include <d3dx9.h>

#include <cstdlib>

#include "tests/texture/StubDevice.h"

namespace fuzz_support {

class ConstantDevice final : public texture_test::StubDevice {
 public:
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float* p, UINT n) override { return Read(p, 4 * n); }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT, const int* p, UINT n) override { return Read(p, 4 * n); }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT, const BOOL* p, UINT n) override { return Read(p, n); }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float* p, UINT n) override { return Read(p, 4 * n); }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT, const int* p, UINT n) override { return Read(p, 4 * n); }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT, const BOOL* p, UINT n) override { return Read(p, n); }
  double m_sum = 0;

 private:
  template <typename T>
  HRESULT Read(const T* p, UINT count) {
    if (count > 0 && p == nullptr) std::abort();
    for (UINT i = 0; i < count; ++i) m_sum += static_cast<double>(p[i]);
    return D3D_OK;
  }
};

// Uses every constant of the table; aborts on an answer that contradicts
// another (a handle that describes nothing, a count that disagrees).
inline void UseConstantTable(ID3DXConstantTable* table) {
  static ConstantDevice device;
  static const float kFloats[256] = {1.0f};
  D3DXCONSTANTTABLE_DESC desc;
  if (FAILED(table->GetDesc(&desc))) std::abort();
  if (table->GetBufferPointer() == nullptr && table->GetBufferSize() != 0) std::abort();
  table->SetDefaults(&device);
  for (UINT i = 0; i < desc.Constants; ++i) {
    const D3DXHANDLE h = table->GetConstant(nullptr, i);
    if (h == nullptr) std::abort();
    D3DXCONSTANT_DESC c;
    UINT n = 1;
    if (FAILED(table->GetConstantDesc(h, &c, &n)) || n != 1 || c.Name == nullptr) std::abort();
    if (table->GetConstantByName(nullptr, c.Name) == nullptr) std::abort();
    table->GetSamplerIndex(h);
    // Whole values within what the caller's buffer holds, then a matrix.
    const UINT floats = c.Rows * c.Columns * c.Elements;
    table->SetFloatArray(&device, h, kFloats, floats < 256 ? floats : 256);
    table->SetValue(&device, h, kFloats, c.Bytes < sizeof(kFloats) ? c.Bytes : sizeof(kFloats));
    D3DXMATRIX m(kFloats);
    table->SetMatrix(&device, h, &m);
    for (UINT e = 0; e < c.Elements && e < 4; ++e) {
      const D3DXHANDLE element = table->GetConstantElement(h, e);
      if (element != nullptr) table->SetFloatArray(&device, element, kFloats, 16);
    }
    for (UINT k = 0; k < c.StructMembers && k < 8; ++k) {
      const D3DXHANDLE member = table->GetConstant(h, k);
      if (member == nullptr) continue;
      D3DXCONSTANT_DESC md;
      n = 1;
      if (FAILED(table->GetConstantDesc(member, &md, &n))) std::abort();
      table->SetFloatArray(&device, member, kFloats, 16);
    }
  }
}

}  // namespace fuzz_support
