// ID3DXConstantTable over the constants of the layer's shader code, and
// D3DXGetShaderConstantTable. Values go to the device in whole registers,
// converted as D3DX converts them: to the constant's type, then to its
// register set's (float4, int4 or bool registers).
#include "shader/ConstantTable.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "ComObject.h"
#include "shader/Buffer.h"
#include "shader/DefaultValues.h"

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
    pDesc->Constants = 0;
    for (const ShaderConstant& c : m_constants) pDesc->Constants += TopLevel(c) ? 1 : 0;
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE GetConstantDesc(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pDesc, UINT* pCount) override {
    const ShaderConstant* c = Find(hConstant);
    if (c == nullptr) return D3DERR_INVALIDCALL;
    if (pDesc != nullptr && (pCount == nullptr || *pCount >= 1)) {
      // A member's name is its own, without the path to it.
      const size_t dot = c->name.rfind('.');
      pDesc->Name = c->name.c_str() + (dot == std::string::npos ? 0 : dot + 1);
      pDesc->RegisterSet = c->registerSet;
      pDesc->RegisterIndex = c->registerIndex;
      pDesc->RegisterCount = c->registerCount;
      pDesc->Class = c->parameterClass;
      pDesc->Type = c->parameterType;
      pDesc->Rows = c->rows;
      pDesc->Columns = c->columns;
      pDesc->Elements = c->elements;
      pDesc->StructMembers = c->structMembers;
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
    // Top-level constants, or the members of a struct (or struct element).
    const std::string* parent = nullptr;
    if (hConstant != nullptr && (Find(hConstant, &parent) == nullptr || Find(hConstant)->parameterClass != D3DXPC_STRUCT))
      return nullptr;
    for (const ShaderConstant& c : m_constants) {
      if (!(parent == nullptr ? TopLevel(c) : MemberOf(c, *parent))) continue;
      if (Index-- == 0) return c.name.c_str();
    }
    return nullptr;
  }

  D3DXHANDLE STDMETHODCALLTYPE GetConstantByName(D3DXHANDLE hConstant, LPCSTR pName) override {
    // Paths name members: "s.member", "s[1].member".
    const std::string* parent = nullptr;
    if (pName == nullptr || (hConstant != nullptr && Find(hConstant, &parent) == nullptr)) return nullptr;
    const std::string path = parent != nullptr ? *parent + "." + pName : std::string(pName);
    for (const ShaderConstant& c : m_constants) {
      if (c.name == path) return c.name.c_str();
    }
    for (const std::string& e : m_elementHandles) {
      if (e == path) return e.c_str();
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
      if (c.registerSet == D3DXRS_SAMPLER) continue;
      const HRESULT hr = Upload(pDevice, c.registerSet, c.registerIndex,
                                reinterpret_cast<const DWORD*>(c.defaultValue.data()), c.registerCount);
      if (FAILED(hr)) return hr;
    }
    return D3D_OK;
  }

  // `Bytes` of data already in the constant's own type (a struct's members
  // each in theirs), written as an array of its values.
  HRESULT STDMETHODCALLTYPE SetValue(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, LPCVOID pData,
                                     UINT Bytes) override {
    if (pData == nullptr) return D3DERR_INVALIDCALL;
    return SetArray(pDevice, hConstant, pData, D3DXPT_VOID, Bytes / 4);
  }

  HRESULT STDMETHODCALLTYPE SetBool(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, BOOL b) override {
    return SetScalar(pDevice, hConstant, &b, D3DXPT_BOOL);
  }

  HRESULT STDMETHODCALLTYPE SetBoolArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const BOOL* pb,
                                         UINT Count) override {
    return SetArray(pDevice, hConstant, pb, D3DXPT_BOOL, Count);
  }

  HRESULT STDMETHODCALLTYPE SetInt(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, INT n) override {
    return SetScalar(pDevice, hConstant, &n, D3DXPT_INT);
  }

  HRESULT STDMETHODCALLTYPE SetIntArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const INT* pn,
                                        UINT Count) override {
    return SetArray(pDevice, hConstant, pn, D3DXPT_INT, Count);
  }

  HRESULT STDMETHODCALLTYPE SetFloat(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, FLOAT f) override {
    return SetScalar(pDevice, hConstant, &f, D3DXPT_FLOAT);
  }

  HRESULT STDMETHODCALLTYPE SetFloatArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const FLOAT* pf,
                                          UINT Count) override {
    return SetArray(pDevice, hConstant, pf, D3DXPT_FLOAT, Count);
  }

  HRESULT STDMETHODCALLTYPE SetVector(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                      const D3DXVECTOR4* pVector) override {
    return SetVectorArray(pDevice, hConstant, pVector, 1);
  }

  HRESULT STDMETHODCALLTYPE SetVectorArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                           const D3DXVECTOR4* pVector, UINT Count) override {
    const ShaderConstant* c = FloatConstant(pDevice, hConstant);
    if (c == nullptr || (pVector == nullptr && Count > 0)) return D3DERR_INVALIDCALL;
    const float* floats = Count > 0 ? &pVector[0].x : nullptr;
    if (c->parameterClass == D3DXPC_MATRIX_ROWS || c->parameterClass == D3DXPC_MATRIX_COLUMNS ||
        c->parameterClass == D3DXPC_STRUCT) {
      // Matrices (and a struct's members) take the vectors as consecutive floats.
      return Write(pDevice, *c, Count * 4, D3DXPT_FLOAT, Source{floats});
    }
    // One vector per element: its first `columns` components.
    const UINT columns = c->columns;
    if (c->parameterClass == D3DXPC_VECTOR && c->rows == 1 && columns >= 1 && columns <= 4 && PlainFloats(*c)) {
      // What Write makes of them, without its per-value placement: a
      // register per vector, its unused components 0.
      const UINT n = std::min(std::min(Count, c->elements), c->registerCount);
      if (n == 0) return D3D_OK;
      if (n <= kChunk) {
        DWORD regs[kChunk * 4];
        for (UINT e = 0; e < n; ++e)
          for (UINT k = 0; k < 4; ++k) regs[4 * e + k] = k < columns ? Bits(&floats[4 * e + k]) : 0;
        return Upload(pDevice, D3DXRS_FLOAT4, c->registerIndex, regs, n);
      }
    }
    return Write(pDevice, *c, Count * columns, D3DXPT_FLOAT, Source{floats, columns});
  }

  HRESULT STDMETHODCALLTYPE SetMatrix(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                      const D3DXMATRIX* pMatrix) override {
    if (pMatrix == nullptr) return D3DERR_INVALIDCALL;
    // The common case, a matrix constant in float registers, without the
    // detour through the pointer array.
    const ShaderConstant* c = FloatConstant(pDevice, hConstant);
    if (c != nullptr && (c->parameterClass == D3DXPC_MATRIX_ROWS || c->parameterClass == D3DXPC_MATRIX_COLUMNS) &&
        PlainFloats(*c) && c->rows <= 4 && c->columns <= 4)
      return WriteMatrices(pDevice, *c, MatrixValues{pMatrix, nullptr, false}, 1);
    return SetMatrices(pDevice, hConstant, &pMatrix, 1, false);
  }

  HRESULT STDMETHODCALLTYPE SetMatrixArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix,
                                           UINT Count) override {
    return SetMatrixArrayImpl(pDevice, hConstant, pMatrix, Count, false);
  }

  HRESULT STDMETHODCALLTYPE SetMatrixPointerArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                                  const D3DXMATRIX** ppMatrix, UINT Count) override {
    return SetMatrices(pDevice, hConstant, ppMatrix, Count, false);
  }

  HRESULT STDMETHODCALLTYPE SetMatrixTranspose(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                               const D3DXMATRIX* pMatrix) override {
    if (pMatrix == nullptr) return D3DERR_INVALIDCALL;
    return SetMatrices(pDevice, hConstant, &pMatrix, 1, true);
  }

  HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                                    const D3DXMATRIX* pMatrix, UINT Count) override {
    return SetMatrixArrayImpl(pDevice, hConstant, pMatrix, Count, true);
  }

  HRESULT STDMETHODCALLTYPE SetMatrixTransposePointerArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                                           const D3DXMATRIX** ppMatrix, UINT Count) override {
    return SetMatrices(pDevice, hConstant, ppMatrix, Count, true);
  }

 protected:
  bool Implements(REFIID riid) const override { return riid == kIidD3DXBuffer || riid == kIidD3DXConstantTable; }

 private:
  static constexpr UINT kChunk = 64;  // registers per device call (stack space)

  // The constant a handle names, and its path (a member's "s.member", an
  // element's "name[i]").
  const ShaderConstant* Find(D3DXHANDLE h, const std::string** path = nullptr) const {
    if (h == nullptr) return nullptr;
    for (int byName = 0; byName < 2; ++byName) {
      for (const ShaderConstant& c : m_constants) {
        if (byName ? c.name[0] == h[0] && std::strcmp(c.name.c_str(), h) == 0 : c.name.c_str() == h) {
          if (path != nullptr) *path = &c.name;
          return &c;
        }
      }
      for (size_t i = 0; i < m_elementHandles.size(); ++i) {
        if (byName ? m_elementHandles[i][0] == h[0] && std::strcmp(m_elementHandles[i].c_str(), h) == 0
                   : m_elementHandles[i].c_str() == h) {
          if (path != nullptr) *path = &m_elementHandles[i];
          return &m_elements[i];
        }
      }
    }
    return nullptr;
  }

  static bool TopLevel(const ShaderConstant& c) { return c.name.find_first_of(".[") == std::string::npos; }
  // Whether `c` is a member of the struct (or struct element) at `path`.
  static bool MemberOf(const ShaderConstant& c, const std::string& path) {
    return c.name.size() > path.size() + 1 && c.name.compare(0, path.size(), path) == 0 &&
           c.name[path.size()] == '.' && c.name.find('.', path.size() + 1) == std::string::npos;
  }

  const ShaderConstant* FloatConstant(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE h) const {
    if (pDevice == nullptr) return nullptr;
    const ShaderConstant* c = Find(h);
    if (c == nullptr || c->registerSet == D3DXRS_SAMPLER) return nullptr;
    return c;
  }

  // A float constant in float registers: the values go to the registers
  // unconverted.
  static bool PlainFloats(const ShaderConstant& c) {
    return c.registerSet == D3DXRS_FLOAT4 && c.parameterType == D3DXPT_FLOAT;
  }

  static DWORD Bits(const void* p) {
    DWORD d;
    std::memcpy(&d, p, sizeof(d));
    return d;
  }

  // D3DX's conversion of one value between FLOAT, INT and BOOL: a float
  // becomes an int by truncation, anything nonzero the bool TRUE (1), and a
  // value already of the wanted type (or untyped, VOID) is kept as it is.
  static DWORD Convert(DWORD v, D3DXPARAMETER_TYPE from, D3DXPARAMETER_TYPE to) {
    if (from == to || from == D3DXPT_VOID) return v;
    float f;
    std::memcpy(&f, &v, sizeof(f));
    if (to == D3DXPT_BOOL) return from == D3DXPT_FLOAT ? f != 0.0f : v != 0;
    if (to == D3DXPT_INT) {
      if (from == D3DXPT_BOOL) return v != 0;
      const int32_t i = f != f ? 0 : f >= 2147483520.0f ? 0x7FFFFF80 : f <= -2147483648.0f ? INT32_MIN : static_cast<int32_t>(f);
      return static_cast<DWORD>(i);
    }
    const float out = from == D3DXPT_BOOL ? (v != 0 ? 1.0f : 0.0f) : static_cast<float>(static_cast<int32_t>(v));
    return Bits(&out);
  }

  static D3DXPARAMETER_TYPE RegisterType(D3DXREGISTER_SET set) {
    return set == D3DXRS_BOOL ? D3DXPT_BOOL : set == D3DXRS_INT4 ? D3DXPT_INT : D3DXPT_FLOAT;
  }

  HRESULT Upload(LPDIRECT3DDEVICE9 pDevice, D3DXREGISTER_SET set, UINT start, const DWORD* data, UINT count) const {
    const bool vs = m_stage == ShaderStage::Vertex;
    switch (set) {
      case D3DXRS_BOOL: {
        const BOOL* b = reinterpret_cast<const BOOL*>(data);
        return vs ? pDevice->SetVertexShaderConstantB(start, b, count) : pDevice->SetPixelShaderConstantB(start, b, count);
      }
      case D3DXRS_INT4: {
        const int* i = reinterpret_cast<const int*>(data);
        return vs ? pDevice->SetVertexShaderConstantI(start, i, count) : pDevice->SetPixelShaderConstantI(start, i, count);
      }
      default: {
        const float* f = reinterpret_cast<const float*>(data);
        return vs ? pDevice->SetVertexShaderConstantF(start, f, count) : pDevice->SetPixelShaderConstantF(start, f, count);
      }
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
    if (c.parameterClass == D3DXPC_STRUCT) return c.registerCount / std::max(c.elements, 1u);
    if (c.registerSet == D3DXRS_BOOL) return c.rows * c.columns;
    if (c.parameterClass == D3DXPC_MATRIX_COLUMNS) return c.columns;
    if (c.parameterClass == D3DXPC_MATRIX_ROWS) return c.rows;
    return 1;
  }

  // One value onto a scalar; D3DX ignores it for every other class.
  HRESULT SetScalar(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE h, const void* value, D3DXPARAMETER_TYPE type) const {
    const ShaderConstant* c = FloatConstant(pDevice, h);
    if (c == nullptr) return D3DERR_INVALIDCALL;
    if (c->parameterClass != D3DXPC_SCALAR) return D3D_OK;
    return Write(pDevice, *c, 1, type, Source{value});
  }

  HRESULT SetArray(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE h, const void* values, D3DXPARAMETER_TYPE type,
                   UINT count) const {
    const ShaderConstant* c = FloatConstant(pDevice, h);
    if (c == nullptr || (values == nullptr && count > 0)) return D3DERR_INVALIDCALL;
    return Write(pDevice, *c, count, type, Source{values});
  }

  // The 32-bit values a setter was given: consecutive, or the first
  // `columns` components of consecutive 4-component vectors.
  struct Source {
    const void* data;
    UINT columns = 0;
    UINT offset = 0;
    DWORD operator()(UINT k) const {
      k += offset;
      return Bits(static_cast<const DWORD*>(data) + (columns != 0 ? (k / columns) * 4 + k % columns : k));
    }
  };

  // Writes `count` values of `type` into the constant's registers, clamped
  // to the constant's size; a struct's members take them one member after
  // another.
  template <class Values>
  HRESULT Write(LPDIRECT3DDEVICE9 pDevice, const ShaderConstant& c, UINT count, D3DXPARAMETER_TYPE type,
                const Values& value) const {
    if (c.parameterClass == D3DXPC_STRUCT) {
      // An element of a struct array is named by its handle, "s[i]".
      const std::string* path = &c.name;
      for (size_t i = 0; i < m_elements.size(); ++i) {
        if (&m_elements[i] == &c) path = &m_elementHandles[i];
      }
      UINT used = 0;
      for (UINT e = 0; e < c.elements; ++e) {
        const std::string prefix = c.elements > 1 ? *path + "[" + std::to_string(e) + "]" : *path;
        for (const ShaderConstant& m : m_constants) {
          if (!MemberOf(m, prefix)) continue;
          const UINT size = m.parameterClass == D3DXPC_STRUCT ? m.columns * m.elements : m.rows * m.columns * m.elements;
          if (count - used < size) return D3D_OK;
          Values rest = value;
          rest.offset += used;
          const HRESULT hr = Write(pDevice, m, size, type, rest);
          if (FAILED(hr)) return hr;
          used += size;
        }
      }
      return D3D_OK;
    }
    const UINT perElement = c.rows * c.columns;
    // Only whole elements are written: one float does not set a vector, a
    // vector does not set a matrix.
    const UINT total = std::min<UINT>(count / perElement, c.elements) * perElement;
    if (total == 0) return D3D_OK;
    const UINT perElementRegs = RegistersPerElement(c);
    // Registers touched: whole elements before the last one, and in the last
    // one as many as its values reach.
    const UINT lastElement = (total - 1) / perElement;
    UINT lastRegs = perElementRegs;
    if (c.registerSet != D3DXRS_BOOL && (c.parameterClass == D3DXPC_MATRIX_ROWS || c.parameterClass == D3DXPC_SCALAR ||
                                         c.parameterClass == D3DXPC_VECTOR)) {
      lastRegs = std::min<UINT>(perElementRegs, ((total - 1) % perElement) / c.columns + 1);
    }
    const UINT regCount = std::min<UINT>(lastElement * perElementRegs + lastRegs, c.registerCount);
    const UINT width = c.registerSet == D3DXRS_BOOL ? 1 : 4;
    const D3DXPARAMETER_TYPE regType = RegisterType(c.registerSet);
    // Untouched components: 0, and for an int register D3DX's loop
    // defaults (start 0, step 1) in its y and z.
    const DWORD blank[4] = {0, 0, c.registerSet == D3DXRS_INT4 ? 1u : 0u, 0};

    DWORD regs[kChunk * 4];
    for (UINT base = 0; base < regCount; base += kChunk) {
      const UINT n = std::min<UINT>(regCount - base, kChunk);
      for (UINT r = 0; r < n * width; ++r) regs[r] = blank[r % 4];
      // Values that land in registers [base, base + n).
      for (UINT k = 0; k < total; ++k) {
        uint64_t reg, comp;
        PlaceValue(c, k, &reg, &comp);
        if (reg >= base && reg < base + n)
          regs[(reg - base) * width + comp] = Convert(Convert(value(k), type, c.parameterType), c.parameterType, regType);
      }
      const HRESULT hr = Upload(pDevice, c.registerSet, c.registerIndex + base, regs, n);
      if (FAILED(hr)) return hr;
    }
    return D3D_OK;
  }

  // The floats of matrices given as an array or as pointers, read as the
  // matrices' blocks of rows x columns (transposed: of their transposes) one
  // after another; `pick` takes the first `pick` of every 4, `step` every
  // step-th value.
  struct MatrixValues {
    const D3DXMATRIX* array;
    const D3DXMATRIX* const* pointers;
    bool transpose;
    UINT rows = 4, columns = 4, pick = 0, step = 1;
    UINT offset = 0;
    DWORD operator()(UINT k) const {
      k += offset;
      if (pick != 0) k = (k / pick) * 4 + k % pick;
      k *= step;
      const UINT per = rows * columns;
      const UINT q = k % per, r = q / columns, col = q % columns;
      const UINT at = transpose ? col * 4 + r : r * 4 + col;
      const D3DXMATRIX* m = pointers != nullptr ? pointers[k / per] : &array[k / per];
      return at < 16 ? Bits(&m->m[at / 4][at % 4]) : 0;
    }
  };

  // Write for matrices onto a PlainFloats matrix constant of at most 4x4:
  // each matrix's rows x columns block from its top-left (transposed: of its
  // transpose), a register per column (column_major) or row (row_major),
  // unused components 0, as many whole matrices as the constant has
  // elements and registers.
  HRESULT WriteMatrices(LPDIRECT3DDEVICE9 pDevice, const ShaderConstant& c, const MatrixValues& values,
                        UINT count) const {
    const bool byRows = c.parameterClass == D3DXPC_MATRIX_ROWS;
    const UINT rows = c.rows, columns = c.columns;
    if (rows == 0 || columns == 0) return D3D_OK;
    const UINT n = std::min(count, c.elements);
    const UINT perElementRegs = byRows ? rows : columns;
    const UINT regCount = std::min(n * perElementRegs, c.registerCount);
    if (regCount == 0) return D3D_OK;
    if (regCount > kChunk) {
      MatrixValues general = values;
      general.rows = rows;
      general.columns = columns;
      return Write(pDevice, c, count * rows * columns, D3DXPT_FLOAT, general);
    }
    DWORD regs[kChunk * 4];
    // A register holds a row of the block written (the matrix's row, or its
    // column when transposed) for a row_major constant, a column otherwise.
    const bool rowsAsGiven = byRows != values.transpose;
    if (rows == 4 && columns == 4) {  // whole 4x4 blocks: copies or transposes
      for (UINT e = 0; e < n && 4 * e < regCount; ++e) {
        const D3DXMATRIX& m = values.pointers != nullptr ? *values.pointers[e] : values.array[e];
        DWORD* reg = &regs[16 * e];
        if (rowsAsGiven) {
          std::memcpy(reg, m.m, 16 * sizeof(DWORD));
          continue;
        }
        DWORD w[16];
        std::memcpy(w, m.m, sizeof(w));
        const DWORD t[16] = {w[0], w[4], w[8],  w[12], w[1], w[5], w[9],  w[13],
                             w[2], w[6], w[10], w[14], w[3], w[7], w[11], w[15]};
        std::memcpy(reg, t, sizeof(t));
      }
      return Upload(pDevice, D3DXRS_FLOAT4, c.registerIndex, regs, regCount);
    }
    std::memset(regs, 0, sizeof(DWORD) * 4 * regCount);
    for (UINT e = 0; e < n; ++e) {
      const D3DXMATRIX& m = values.pointers != nullptr ? *values.pointers[e] : values.array[e];
      DWORD block[4][4];  // the matrix, or its transpose, as the values' bits
      if (values.transpose) {
        for (UINT r = 0; r < 4; ++r)
          for (UINT col = 0; col < 4; ++col) std::memcpy(&block[r][col], &m.m[col][r], sizeof(DWORD));
      } else {
        std::memcpy(block, m.m, sizeof(block));
      }
      const UINT first = e * perElementRegs, regs4 = std::min(perElementRegs, regCount - std::min(first, regCount));
      for (UINT i = 0; i < regs4; ++i) {
        DWORD* reg = &regs[4 * (first + i)];
        if (byRows) {
          for (UINT col = 0; col < columns; ++col) reg[col] = block[i][col];
        } else {
          for (UINT r = 0; r < rows; ++r) reg[r] = block[r][i];
        }
      }
    }
    return Upload(pDevice, D3DXRS_FLOAT4, c.registerIndex, regs, regCount);
  }

  HRESULT SetMatrixArrayImpl(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix, UINT count,
                             bool transpose) const {
    if (pMatrix == nullptr && count > 0) return D3DERR_INVALIDCALL;
    return SetMatrices(pDevice, hConstant, MatrixValues{pMatrix, nullptr, transpose}, count);
  }

  HRESULT SetMatrices(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* const* matrices, UINT count,
                      bool transpose) const {
    if (matrices == nullptr && count > 0) return D3DERR_INVALIDCALL;
    for (UINT i = 0; i < count; ++i) {
      if (matrices[i] == nullptr) return D3DERR_INVALIDCALL;
    }
    return SetMatrices(pDevice, hConstant, MatrixValues{nullptr, matrices, transpose}, count);
  }

  // A matrix constant takes one element per matrix: its rows x columns from
  // the matrix's top-left. A scalar or vector array reads the matrices as
  // one run of rows: a vector element per row (per column, transposed), a
  // scalar element per float (per row's first float, transposed).
  HRESULT SetMatrices(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, MatrixValues values, UINT count) const {
    const ShaderConstant* c = FloatConstant(pDevice, hConstant);
    if (c == nullptr) return D3DERR_INVALIDCALL;
    switch (c->parameterClass) {
      case D3DXPC_MATRIX_ROWS:
      case D3DXPC_MATRIX_COLUMNS:
        if (PlainFloats(*c) && c->rows <= 4 && c->columns <= 4) return WriteMatrices(pDevice, *c, values, count);
        values.rows = c->rows;
        values.columns = c->columns;
        return Write(pDevice, *c, count * c->rows * c->columns, D3DXPT_FLOAT, values);
      case D3DXPC_VECTOR:
        values.pick = c->columns;
        return Write(pDevice, *c, count * 4 * c->columns, D3DXPT_FLOAT, values);
      case D3DXPC_SCALAR:
        // The run itself, not transposed: a transpose's rows are its columns.
        if (values.transpose) values.step = 4;
        values.transpose = false;
        return Write(pDevice, *c, count * (values.step == 4 ? 4 : 16), D3DXPT_FLOAT, values);
      default:  // a struct: its run of values from each matrix's first row on
        values.rows = 1;
        values.columns = std::max(c->columns, 1u);
        return Write(pDevice, *c, count * values.columns, D3DXPT_FLOAT, values);
    }
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
