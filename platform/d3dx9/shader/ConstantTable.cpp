// ID3DXConstantTable over the constants of the layer's shader code, and
// D3DXGetShaderConstantTable. Values go to the device in whole registers.
#include "shader/ConstantTable.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "ComObject.h"
#include "shader/Buffer.h"

namespace ostrevin {
namespace {

const IID kIidD3DXConstantTable = {0xab3c758f, 0x093e, 0x4356, {0xb7, 0x62, 0x4d, 0xb1, 0x8f, 0x1b, 0x3a, 0x01}};

class ConstantTable final : public ComObject<ID3DXConstantTable> {
 public:
  ConstantTable(ShaderStage stage, uint32_t major, uint32_t minor, std::vector<ShaderConstant>&& constants)
      : m_stage(stage), m_major(major), m_minor(minor), m_constants(std::move(constants)) {
    ShaderCode table;
    table.stage = stage;
    table.majorVersion = major;
    table.minorVersion = minor;
    table.constants = m_constants;
    m_blob = EncodeShaderCode(table);
    // Array elements: one register range each, handle "name[i]".
    for (const ShaderConstant& c : m_constants) {
      if (c.elements < 2) continue;
      const UINT per = c.registerSet == D3DXRS_SAMPLER ? 1 : RegistersPerElement(c);
      for (UINT i = 0; i < c.elements; ++i) {
        ShaderConstant e = c;
        e.elements = 1;
        e.registerIndex = c.registerIndex + i * per;
        e.registerCount = i * per < c.registerCount ? std::min<UINT>(per, c.registerCount - i * per) : 0;
        e.defaultValue = ElementDefault(c, i * per, e.registerCount);
        m_elements.push_back(std::move(e));
        m_elementHandles.push_back(c.name + "[" + std::to_string(i) + "]");
      }
    }
  }

  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return m_blob.data(); }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return static_cast<DWORD>(m_blob.size() * 4); }

  HRESULT STDMETHODCALLTYPE GetDesc(D3DXCONSTANTTABLE_DESC* pDesc) override {
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    pDesc->Creator = "Ostrevin HLSL compiler (glslang)";
    pDesc->Version = (m_stage == ShaderStage::Vertex ? 0xFFFE0000u : 0xFFFF0000u) | (m_major << 8) | m_minor;
    pDesc->Constants = static_cast<UINT>(m_constants.size());
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE GetConstantDesc(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pDesc, UINT* pCount) override {
    const ShaderConstant* c = Find(hConstant);
    if (c == nullptr) return D3DERR_INVALIDCALL;
    if (pDesc != nullptr && (pCount == nullptr || *pCount >= 1)) {
      pDesc->Name = c->name.c_str();
      pDesc->RegisterSet = c->registerSet;
      pDesc->RegisterIndex = c->registerIndex;
      pDesc->RegisterCount = c->registerCount;
      pDesc->Class = c->parameterClass;
      pDesc->Type = c->parameterType;
      pDesc->Rows = c->rows;
      pDesc->Columns = c->columns;
      pDesc->Elements = c->elements;
      pDesc->StructMembers = 0;
      pDesc->Bytes = c->registerSet == D3DXRS_SAMPLER ? 4 : 4 * c->rows * c->columns * c->elements;
      pDesc->DefaultValue = c->defaultValue.empty() ? nullptr : c->defaultValue.data();
    }
    if (pCount != nullptr) *pCount = 1;
    return D3D_OK;
  }

  UINT STDMETHODCALLTYPE GetSamplerIndex(D3DXHANDLE hConstant) override {
    const ShaderConstant* c = Find(hConstant);
    if (c == nullptr || c->registerSet != D3DXRS_SAMPLER) return static_cast<UINT>(-1);
    return c->registerIndex;
  }

  D3DXHANDLE STDMETHODCALLTYPE GetConstant(D3DXHANDLE hConstant, UINT Index) override {
    // Top-level constants only: no handles for array elements or members.
    if (hConstant != nullptr || Index >= m_constants.size()) return nullptr;
    return m_constants[Index].name.c_str();
  }

  D3DXHANDLE STDMETHODCALLTYPE GetConstantByName(D3DXHANDLE hConstant, LPCSTR pName) override {
    if (hConstant != nullptr || pName == nullptr) return nullptr;
    for (const ShaderConstant& c : m_constants) {
      if (c.name == pName) return c.name.c_str();
    }
    for (const std::string& e : m_elementHandles) {
      if (e == pName) return e.c_str();
    }
    return nullptr;
  }

  D3DXHANDLE STDMETHODCALLTYPE GetConstantElement(D3DXHANDLE hConstant, UINT Index) override {
    const ShaderConstant* c = Find(hConstant);
    if (c == nullptr || Index >= c->elements) return nullptr;
    const std::string want = c->name + "[" + std::to_string(Index) + "]";
    for (const std::string& e : m_elementHandles) {
      if (e == want) return e.c_str();
    }
    return nullptr;
  }

  // Each constant with a default value gets its registers written whole,
  // as DefaultValue holds them.
  HRESULT STDMETHODCALLTYPE SetDefaults(LPDIRECT3DDEVICE9 pDevice) override {
    if (pDevice == nullptr) return D3DERR_INVALIDCALL;
    for (const ShaderConstant& c : m_constants) {
      if (c.defaultValue.empty() || c.registerCount == 0) continue;
      if (c.registerSet == D3DXRS_FLOAT4) {
        std::vector<float> floats(c.defaultValue.size());
        std::memcpy(floats.data(), c.defaultValue.data(), floats.size() * sizeof(float));
        const HRESULT hr = Upload(pDevice, c.registerIndex, floats.data(), c.registerCount);
        if (FAILED(hr)) return hr;
      }
    }
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE SetFloat(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, FLOAT f) override {
    return SetFloatArray(pDevice, hConstant, &f, 1);
  }

  HRESULT STDMETHODCALLTYPE SetFloatArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const FLOAT* pf,
                                          UINT Count) override {
    const ShaderConstant* c = FloatConstant(pDevice, hConstant);
    if (c == nullptr || (pf == nullptr && Count > 0)) return D3DERR_INVALIDCALL;
    return WriteFloats(pDevice, *c, pf, Count);
  }

  HRESULT STDMETHODCALLTYPE SetVector(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                      const D3DXVECTOR4* pVector) override {
    return SetVectorArray(pDevice, hConstant, pVector, 1);
  }

  HRESULT STDMETHODCALLTYPE SetVectorArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                           const D3DXVECTOR4* pVector, UINT Count) override {
    const ShaderConstant* c = FloatConstant(pDevice, hConstant);
    if (c == nullptr || (pVector == nullptr && Count > 0)) return D3DERR_INVALIDCALL;
    if (c->parameterClass == D3DXPC_MATRIX_ROWS || c->parameterClass == D3DXPC_MATRIX_COLUMNS) {
      // Matrices take the vectors as consecutive floats.
      return WriteFloats(pDevice, *c, &pVector[0].x, Count * 4);
    }
    // One vector per element: its first `columns` components.
    float regs[kChunk][4];
    UINT done = 0;
    const UINT total = std::min<UINT>(Count, c->elements);
    while (done < total) {
      const UINT n = std::min<UINT>(total - done, kChunk);
      for (UINT i = 0; i < n; ++i) {
        const D3DXVECTOR4& v = pVector[done + i];
        const float all[4] = {v.x, v.y, v.z, v.w};
        for (UINT k = 0; k < 4; ++k) regs[i][k] = k < c->columns ? all[k] : 0.0f;
      }
      const HRESULT hr = Upload(pDevice, c->registerIndex + done, regs[0], n);
      if (FAILED(hr)) return hr;
      done += n;
    }
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE SetMatrix(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                      const D3DXMATRIX* pMatrix) override {
    return SetMatrixImpl(pDevice, hConstant, pMatrix, false);
  }

  HRESULT STDMETHODCALLTYPE SetMatrixTranspose(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                               const D3DXMATRIX* pMatrix) override {
    return SetMatrixImpl(pDevice, hConstant, pMatrix, true);
  }

 protected:
  bool Implements(REFIID riid) const override { return riid == kIidD3DXBuffer || riid == kIidD3DXConstantTable; }

 private:
  static constexpr UINT kChunk = 64;  // registers per device call (stack space)

  const ShaderConstant* Find(D3DXHANDLE h) const {
    if (h == nullptr) return nullptr;
    for (const ShaderConstant& c : m_constants) {
      if (c.name.c_str() == h) return &c;
    }
    for (size_t i = 0; i < m_elementHandles.size(); ++i) {
      if (m_elementHandles[i].c_str() == h) return &m_elements[i];
    }
    for (const ShaderConstant& c : m_constants) {
      if (std::strcmp(c.name.c_str(), h) == 0) return &c;
    }
    for (size_t i = 0; i < m_elementHandles.size(); ++i) {
      if (m_elementHandles[i] == h) return &m_elements[i];
    }
    return nullptr;
  }

  const ShaderConstant* FloatConstant(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE h) const {
    if (pDevice == nullptr) return nullptr;
    const ShaderConstant* c = Find(h);
    if (c == nullptr || c->registerSet == D3DXRS_SAMPLER) return nullptr;
    return c;
  }

  HRESULT Upload(LPDIRECT3DDEVICE9 pDevice, UINT start, const float* data, UINT count) const {
    return m_stage == ShaderStage::Vertex ? pDevice->SetVertexShaderConstantF(start, data, count)
                                          : pDevice->SetPixelShaderConstantF(start, data, count);
  }

  // Which register and component float `k` of the constant's data (HLSL
  // element-major, row-major order) lands in.
  static void Place(const ShaderConstant& c, UINT k, UINT* reg, UINT* comp) {
    const UINT perElement = c.rows * c.columns;
    const UINT element = k / perElement;
    const UINT row = (k % perElement) / c.columns;
    const UINT col = k % c.columns;
    if (c.parameterClass == D3DXPC_MATRIX_COLUMNS) {
      *reg = element * c.columns + col;
      *comp = row;
    } else if (c.parameterClass == D3DXPC_MATRIX_ROWS) {
      *reg = element * c.rows + row;
      *comp = col;
    } else {
      *reg = element;
      *comp = col;
    }
  }

  // The element's part of an array's default value, from the element's
  // first register.
  static std::vector<uint32_t> ElementDefault(const ShaderConstant& array, UINT firstRegister, UINT registers) {
    const size_t words = array.registerSet == D3DXRS_BOOL ? 1 : 4;
    if (registers == 0 || (size_t(firstRegister) + registers) * words > array.defaultValue.size()) return {};
    const auto begin = array.defaultValue.begin() + static_cast<std::ptrdiff_t>(firstRegister * words);
    return std::vector<uint32_t>(begin, begin + static_cast<std::ptrdiff_t>(registers * words));
  }

  static UINT RegistersPerElement(const ShaderConstant& c) {
    if (c.parameterClass == D3DXPC_MATRIX_COLUMNS) return c.columns;
    if (c.parameterClass == D3DXPC_MATRIX_ROWS) return c.rows;
    return 1;
  }

  // Writes `count` floats into the constant's registers (unused components
  // of a touched register are 0), clamped to the constant's size.
  HRESULT WriteFloats(LPDIRECT3DDEVICE9 pDevice, const ShaderConstant& c, const float* pf, UINT count) const {
    const UINT perElement = c.rows * c.columns;
    // Only whole elements are written: one float does not set a vector, a
    // vector does not set a matrix.
    const UINT total = std::min<UINT>(count / perElement, c.elements) * perElement;
    if (total == 0) return D3D_OK;
    const UINT perElementRegs = RegistersPerElement(c);
    // Registers touched: whole elements before the last one, and in the last
    // one as many as its floats reach.
    const UINT lastElement = (total - 1) / perElement;
    UINT lastRegs = perElementRegs;
    if (c.parameterClass == D3DXPC_MATRIX_ROWS || c.parameterClass == D3DXPC_SCALAR ||
        c.parameterClass == D3DXPC_VECTOR) {
      lastRegs = std::min<UINT>(perElementRegs, ((total - 1) % perElement) / c.columns + 1);
    }
    const UINT regCount = std::min<UINT>(lastElement * perElementRegs + lastRegs, c.registerCount);

    float regs[kChunk][4];
    for (UINT base = 0; base < regCount; base += kChunk) {
      const UINT n = std::min<UINT>(regCount - base, kChunk);
      std::memset(regs, 0, sizeof(float) * 4 * n);
      // Floats that land in registers [base, base + n).
      for (UINT k = 0; k < total; ++k) {
        UINT reg, comp;
        Place(c, k, &reg, &comp);
        if (reg >= base && reg < base + n) regs[reg - base][comp] = pf[k];
      }
      const HRESULT hr = Upload(pDevice, c.registerIndex + base, regs[0], n);
      if (FAILED(hr)) return hr;
    }
    return D3D_OK;
  }

  HRESULT SetMatrixImpl(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix,
                        bool transpose) const {
    const ShaderConstant* c = FloatConstant(pDevice, hConstant);
    if (c == nullptr || pMatrix == nullptr) return D3DERR_INVALIDCALL;
    // The constant's rows x columns from the top-left of the 4x4 matrix.
    float data[16];
    UINT k = 0;
    for (UINT r = 0; r < c->rows; ++r) {
      for (UINT col = 0; col < c->columns; ++col) {
        data[k++] = transpose ? pMatrix->m[col][r] : pMatrix->m[r][col];
      }
    }
    return WriteFloats(pDevice, *c, data, k);
  }

  ShaderStage m_stage;
  uint32_t m_major, m_minor;
  std::vector<ShaderConstant> m_constants;
  std::vector<ShaderConstant> m_elements;       // array elements, in order
  std::vector<std::string> m_elementHandles;    // "name[i]" for m_elements[i]
  std::vector<uint32_t> m_blob;
};

}  // namespace

HRESULT MakeConstantTable(ShaderStage stage, uint32_t major, uint32_t minor, std::vector<ShaderConstant>&& constants,
                          ID3DXConstantTable** pp) {
  *pp = new (std::nothrow) ConstantTable(stage, major, minor, std::move(constants));
  return *pp != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ostrevin

HRESULT WINAPI D3DXGetShaderConstantTable(const DWORD* pFunction, LPD3DXCONSTANTTABLE* ppConstantTable) {
  if (ppConstantTable == nullptr) return D3DERR_INVALIDCALL;
  *ppConstantTable = nullptr;
  ostrevin::ShaderCode code;
  if (!ostrevin::DecodeShaderCode(pFunction, 0, &code)) return D3DXERR_INVALIDDATA;
  return ostrevin::MakeConstantTable(code.stage, code.majorVersion, code.minorVersion, std::move(code.constants),
                                     ppConstantTable);
}
