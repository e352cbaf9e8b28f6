// D3DXCreateBuffer, D3DXCompileShader and the constant table.
//
// HLSL goes through glslang's HLSL front end (DX9-compatible mode, so
// sampler2D/tex2D and the DX9 semantics work) into SPIR-V carrying the
// semantics as HlslSemanticGOOGLE strings. The code buffer holds the layer's
// shader code (ShaderCode.h): the constant table as D3DX would lay it out in
// registers, then the SPIR-V. Every compile is also translated to GLSL once,
// so that a shader the OpenGL device could not use fails here, with a message.
//
// Register assignment: every global float constant gets its own range of
// FLOAT4 registers (float/floatN: 1 per element; matrices: one register per
// column for column_major, the default, one per row for row_major), samplers
// one SAMPLER index per element. A `name : register(cN)` / `register(sN)`
// annotation is honoured (found in the preprocessed text by a light scan);
// the rest fill the lowest free registers in declaration order. Unlike
// D3DX, constants the shader never reads stay in the table. Initial values of globals are not kept, so
// SetDefaults writes nothing.
#define ENABLE_HLSL 1
#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_cross.hpp>

#include <d3dx9.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "LiveObjects.h"
#include "ShaderCode.h"
#include "Startup.h"

namespace {

using ostrevin::ShaderCode;
using ostrevin::ShaderConstant;
using ostrevin::ShaderStage;

const IID kIidD3DXBuffer = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};
const IID kIidD3DXConstantTable = {0xab3c758f, 0x093e, 0x4356, {0xb7, 0x62, 0x4d, 0xb1, 0x8f, 0x1b, 0x3a, 0x01}};

// ------------------------------------------------------------------ buffer

class Buffer final : public ID3DXBuffer {
 public:
  explicit Buffer(std::vector<uint32_t>&& words, DWORD bytes) : m_words(std::move(words)), m_bytes(bytes) {
    ostrevin::ObjectCreated();
  }
  ~Buffer() { ostrevin::ObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == kIidD3DXBuffer) {
      AddRef();
      *ppv = static_cast<ID3DXBuffer*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }
  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return m_words.data(); }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return m_bytes; }

 private:
  std::vector<uint32_t> m_words;  // DWORD aligned storage
  DWORD m_bytes;
  ULONG m_refs = 1;
};

HRESULT MakeBuffer(const void* data, size_t bytes, ID3DXBuffer** pp) {
  *pp = nullptr;
  if (bytes > 0xFFFFFFF0u) return E_OUTOFMEMORY;
  std::vector<uint32_t> words;
  try {
    words.assign((bytes + 3) / 4 + 1, 0);  // one spare word: never an empty vector
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (data != nullptr && bytes > 0) std::memcpy(words.data(), data, bytes);
  Buffer* buffer = new (std::nothrow) Buffer(std::move(words), static_cast<DWORD>(bytes));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  *pp = buffer;
  return S_OK;
}

HRESULT MakeTextBuffer(const std::string& text, ID3DXBuffer** pp) {
  return MakeBuffer(text.c_str(), text.size() + 1, pp);
}

// ---------------------------------------------------------- constant table

class ConstantTable final : public ID3DXConstantTable {
 public:
  ConstantTable(ShaderStage stage, uint32_t major, uint32_t minor, std::vector<ShaderConstant>&& constants)
      : m_stage(stage), m_major(major), m_minor(minor), m_constants(std::move(constants)) {
    ShaderCode table;
    table.stage = stage;
    table.majorVersion = major;
    table.minorVersion = minor;
    table.constants = m_constants;
    m_blob = ostrevin::EncodeShaderCode(table);
    ostrevin::ObjectCreated();
  }
  ~ConstantTable() { ostrevin::ObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == kIidD3DXBuffer || riid == kIidD3DXConstantTable) {
      AddRef();
      *ppv = static_cast<ID3DXConstantTable*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
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
      pDesc->DefaultValue = nullptr;
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
    const ShaderConstant* c = Find(pName);
    return c != nullptr ? c->name.c_str() : nullptr;
  }

  HRESULT STDMETHODCALLTYPE SetDefaults(LPDIRECT3DDEVICE9 pDevice) override {
    return pDevice != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
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

 private:
  static constexpr UINT kChunk = 64;  // registers per device call (stack space)

  const ShaderConstant* Find(D3DXHANDLE h) const {
    if (h == nullptr) return nullptr;
    for (const ShaderConstant& c : m_constants) {
      if (c.name.c_str() == h) return &c;
    }
    for (const ShaderConstant& c : m_constants) {
      if (std::strcmp(c.name.c_str(), h) == 0) return &c;
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

  static UINT RegistersPerElement(const ShaderConstant& c) {
    if (c.parameterClass == D3DXPC_MATRIX_COLUMNS) return c.columns;
    if (c.parameterClass == D3DXPC_MATRIX_ROWS) return c.rows;
    return 1;
  }

  // Writes `count` floats into the constant's registers (unused components
  // of a touched register are 0), clamped to the constant's size.
  HRESULT WriteFloats(LPDIRECT3DDEVICE9 pDevice, const ShaderConstant& c, const float* pf, UINT count) const {
    const UINT perElement = c.rows * c.columns;
    const UINT total = std::min<UINT>(count, perElement * c.elements);
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
  std::vector<uint32_t> m_blob;
  ULONG m_refs = 1;
};

// ----------------------------------------------------------------- compile

struct Profile {
  const char* name;
  ShaderStage stage;
  uint32_t major, minor;
};

const Profile kProfiles[] = {
    {"vs_1_1", ShaderStage::Vertex, 1, 1}, {"vs_2_0", ShaderStage::Vertex, 2, 0},
    {"vs_2_a", ShaderStage::Vertex, 2, 1}, {"vs_2_sw", ShaderStage::Vertex, 2, 0xFF},
    {"vs_3_0", ShaderStage::Vertex, 3, 0}, {"ps_2_0", ShaderStage::Pixel, 2, 0},
    {"ps_2_a", ShaderStage::Pixel, 2, 1},  {"ps_2_b", ShaderStage::Pixel, 2, 2},
    {"ps_2_sw", ShaderStage::Pixel, 2, 0xFF}, {"ps_3_0", ShaderStage::Pixel, 3, 0},
};

const Profile* FindProfile(const char* name) {
  for (const Profile& p : kProfiles) {
    if (std::strcmp(p.name, name) == 0) return &p;
  }
  return nullptr;
}

const char kSourceName[] = "memory";

// glslang's "ERROR: name:12: text" lines as "name(12): error: text".
std::string FormatLog(const std::string& log) {
  std::string out;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    std::string kind;
    if (line.compare(0, 7, "ERROR: ") == 0) {
      kind = "error";
      line.erase(0, 7);
    } else if (line.compare(0, 9, "WARNING: ") == 0) {
      kind = "warning";
      line.erase(0, 9);
    }
    // "<name>:<line>: rest"
    const size_t colon = line.find(':');
    const size_t colon2 = colon == std::string::npos ? std::string::npos : line.find(':', colon + 1);
    bool located = false;
    if (!kind.empty() && colon != std::string::npos && colon2 != std::string::npos && colon2 > colon + 1) {
      const std::string number = line.substr(colon + 1, colon2 - colon - 1);
      if (number.find_first_not_of("0123456789") == std::string::npos) {
        std::string name = line.substr(0, colon);
        if (name == "0") name = kSourceName;
        std::string rest = line.substr(colon2 + 1);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        if (rest.compare(0, 5, "'' : ") == 0) rest.erase(0, 5);
        out += name + "(" + number + "): " + kind + ": " + rest + "\n";
        located = true;
      }
    }
    if (!located) out += (kind.empty() ? "" : kind + ": ") + line + "\n";
  }
  return out;
}

bool IsIdent(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; }

// Hands #include requests to the application's ID3DXInclude. Each file is
// opened once per compile (the preprocessing pass and the parse share it)
// and closed when the compile ends.
class Includer final : public glslang::TShader::Includer {
 public:
  explicit Includer(LPD3DXINCLUDE pInclude) : m_include(pInclude) {}
  ~Includer() override {
    for (auto& f : m_files) {
      if (f.second.ok && m_include != nullptr) m_include->Close(f.second.data);
    }
  }

  IncludeResult* includeLocal(const char* headerName, const char* includerName, size_t) override {
    IncludeResult* r = Get(D3DXINC_LOCAL, headerName, includerName);
    m_localFailed = r == nullptr && headerName != nullptr ? headerName : "";
    return r;
  }
  IncludeResult* includeSystem(const char* headerName, const char* includerName, size_t) override {
    // glslang asks again as "system" after a failed "local": the
    // application was asked already.
    if (!m_localFailed.empty() && headerName != nullptr && m_localFailed == headerName) {
      m_localFailed.clear();
      return nullptr;
    }
    return Get(D3DXINC_SYSTEM, headerName, includerName);
  }
  void releaseInclude(IncludeResult* result) override { delete result; }

 private:
  struct File {
    bool ok = false;
    LPCVOID data = nullptr;
    UINT bytes = 0;
  };

  IncludeResult* Get(D3DXINCLUDE_TYPE type, const char* headerName, const char* includerName) {
    if (m_include == nullptr || headerName == nullptr) return nullptr;
    auto it = m_files.find(headerName);
    if (it == m_files.end()) {
      LPCVOID parent = nullptr;
      if (includerName != nullptr) {
        auto p = m_files.find(includerName);
        if (p != m_files.end()) parent = p->second.data;
      }
      File f;
      f.ok = SUCCEEDED(m_include->Open(type, headerName, parent, &f.data, &f.bytes));
      if (f.ok && f.data == nullptr) f.bytes = 0;
      it = m_files.emplace(headerName, f).first;
    }
    if (!it->second.ok) return nullptr;
    return new IncludeResult(headerName, static_cast<const char*>(it->second.data), it->second.bytes, nullptr);
  }

  LPD3DXINCLUDE m_include;
  std::map<std::string, File> m_files;
  std::string m_localFailed;
};

// Errors in preprocessed text that glslang 12 crashes on instead of
// reporting, refused before parsing (HLSL forbids both anyway):
//  - a file-scope name declared twice (a global redeclared with another
//    type); a light scan that skips nesting, initialisers, annotations and
//    function bodies;
//  - postfix ++/-- on an undeclared name.
bool FindUnparsable(const std::string& text, std::string* message, int* line) {
  struct Token {
    std::string text;
    int line;
  };
  std::vector<Token> tokens;
  int currentLine = 1;
  bool lineStart = true;
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '\n') {
      ++currentLine;
      lineStart = true;
      ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(ch))) {
      ++i;
      continue;
    }
    if (lineStart && ch == '#') {
      // Directives left by the preprocessor: "#line N" sets the next line.
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = text.size();
      const std::string directive = text.substr(i, end - i);
      int n = 0;
      if (std::sscanf(directive.c_str(), "#line %d", &n) == 1) currentLine = n - 1;
      i = end;
      continue;
    }
    lineStart = false;
    if (ch == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
      if (text[i + 1] == '/') {
        while (i < text.size() && text[i] != '\n') ++i;
      } else {
        i += 2;
        while (i + 1 < text.size() && !(text[i] == '*' && text[i + 1] == '/')) {
          if (text[i] == '\n') ++currentLine;
          ++i;
        }
        i += 2;
      }
      continue;
    }
    size_t j = i + 1;
    if (IsIdent(ch)) {
      while (j < text.size() && IsIdent(text[j])) ++j;
    }
    tokens.push_back({text.substr(i, j - i), currentLine});
    i = j;
  }

  // Postfix ++/-- on a name never declared: glslang 12 crashes when that
  // is a call argument. A name counts as declared when it follows another
  // name or a comma somewhere ("float x", "int i, x").
  std::set<std::string> named;
  for (size_t t = 1; t < tokens.size(); ++t) {
    const char prev = tokens[t - 1].text[0];
    if (IsIdent(tokens[t].text[0]) && (IsIdent(prev) || prev == ',')) named.insert(tokens[t].text);
  }
  for (size_t t = 0; t + 2 < tokens.size(); ++t) {
    const std::string& tok = tokens[t].text;
    const std::string& a = tokens[t + 1].text;
    const std::string& b = tokens[t + 2].text;
    if (IsIdent(tok[0]) && !std::isdigit(static_cast<unsigned char>(tok[0])) && a == b && (a == "+" || a == "-") &&
        named.count(tok) == 0) {
      *message = "error X3004: undeclared identifier '" + tok + "'";
      *line = tokens[t].line;
      return true;
    }
  }

  std::map<std::string, int> declared;
  int depth = 0;            // (), [], {} and <> inside the statement
  bool function = false;    // a parameter list was seen
  bool initialiser = false; // after '=' until ',' or ';'
  bool annotation = false;  // after ':' until ',', '=' or ';'
  auto reset = [&] { function = initialiser = annotation = false; };
  for (size_t t = 0; t < tokens.size(); ++t) {
    const std::string& tok = tokens[t].text;
    const char c = tok[0];
    if (c == '(' || c == '[' || c == '{' || (c == '<' && !initialiser)) {
      if (depth == 0 && c == '(' && !initialiser && !annotation) function = true;
      ++depth;
      continue;
    }
    if (c == ')' || c == ']' || c == '}' || (c == '>' && !initialiser)) {
      if (depth > 0) --depth;
      // A function body ends the declaration.
      if (depth == 0 && c == '}' && function) reset();
      continue;
    }
    if (depth > 0) continue;
    if (c == ';') {
      reset();
    } else if (c == ',') {
      initialiser = annotation = false;
    } else if (c == '=') {
      initialiser = true;
      annotation = false;
    } else if (c == ':') {
      annotation = true;
    } else if (IsIdent(c) && !std::isdigit(static_cast<unsigned char>(c)) && !function && !initialiser &&
               !annotation && t > 0) {
      // A declarator: after a type name (or a comma, or a template's '>'),
      // and not itself a type, a call or a template.
      const char prev = tokens[t - 1].text[0];
      const char next = t + 1 < tokens.size() ? tokens[t + 1].text[0] : ';';
      const bool typeName = tokens[t - 1].text == "struct";  // types and variables share the names
      const bool afterType = IsIdent(prev) || prev == ',' || prev == '>' || prev == '}';
      const bool declarator = !IsIdent(next) && next != '(' && next != '{' && next != '<' && next != '.';
      if (typeName || (afterType && declarator)) {
        if (!declared.emplace(tok, tokens[t].line).second) {
          *message = "error X3003: redefinition of '" + tok + "'";
          *line = tokens[t].line;
          return true;
        }
      }
    }
  }
  return false;
}

// `name : register(cN)` and `register(sN)` written in the source.
struct ExplicitRegister {
  char set;  // 'c' or 's'
  uint32_t index;
};

std::map<std::string, ExplicitRegister> ScanRegisters(const char* src, size_t len) {
  std::map<std::string, ExplicitRegister> found;
  const std::string text(src, len);
  size_t pos = 0;
  while ((pos = text.find("register", pos)) != std::string::npos) {
    const size_t at = pos;
    pos += 8;
    if ((at > 0 && IsIdent(text[at - 1])) || (pos < text.size() && IsIdent(text[pos]))) continue;
    size_t p = pos;
    auto skip = [&](size_t& i) {
      while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    };
    skip(p);
    if (p >= text.size() || text[p] != '(') continue;
    ++p;
    skip(p);
    if (p >= text.size()) continue;
    const char set = static_cast<char>(std::tolower(static_cast<unsigned char>(text[p])));
    if (set != 'c' && set != 's') continue;
    ++p;
    uint64_t index = 0;
    size_t digits = 0;
    while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])) && digits < 6) {
      index = index * 10 + static_cast<uint64_t>(text[p] - '0');
      ++p;
      ++digits;
    }
    if (digits == 0) continue;
    // Backwards: ':' then optional [..] groups, then the name.
    size_t b = at;
    auto back = [&]() {
      while (b > 0 && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
    };
    back();
    if (b == 0 || text[b - 1] != ':') continue;
    --b;
    back();
    while (b > 0 && text[b - 1] == ']') {
      const size_t open = text.rfind('[', b - 1);
      if (open == std::string::npos) break;
      b = open;
      back();
    }
    size_t nameEnd = b;
    while (b > 0 && IsIdent(text[b - 1])) --b;
    if (b == nameEnd) continue;
    found[text.substr(b, nameEnd - b)] = {set, static_cast<uint32_t>(index)};
  }
  return found;
}

// Places [count] registers at the lowest free index; false when none fit.
bool Allocate(std::vector<bool>& used, uint32_t count, uint32_t* index) {
  const uint32_t limit = static_cast<uint32_t>(used.size());
  for (uint32_t start = 0; start + count <= limit; ++start) {
    bool free = true;
    for (uint32_t i = 0; i < count && free; ++i) free = !used[start + i];
    if (free) {
      for (uint32_t i = 0; i < count; ++i) used[start + i] = true;
      *index = start;
      return true;
    }
  }
  return false;
}

bool Reserve(std::vector<bool>& used, uint32_t start, uint32_t count) {
  if (uint64_t(start) + count > used.size()) return false;
  for (uint32_t i = 0; i < count; ++i) {
    if (used[start + i]) return false;
  }
  for (uint32_t i = 0; i < count; ++i) used[start + i] = true;
  return true;
}

// The constant table from the SPIR-V's global block and samplers.
bool BuildConstants(const std::vector<uint32_t>& spirv, const Profile& profile,
                    const std::map<std::string, ExplicitRegister>& explicitRegs, std::vector<ShaderConstant>* out,
                    std::string* error) {
  spirv_cross::Compiler reflect(spirv.data(), spirv.size());
  const spirv_cross::ShaderResources res = reflect.get_shader_resources();
  std::vector<ShaderConstant> constants;
  std::vector<bool> explicitFlags;

  for (const spirv_cross::Resource& r : res.uniform_buffers) {
    const spirv_cross::SPIRType& block = reflect.get_type(r.base_type_id);
    for (uint32_t i = 0; i < block.member_types.size(); ++i) {
      ShaderConstant c;
      c.name = reflect.get_member_name(r.base_type_id, i);
      const spirv_cross::SPIRType& type = reflect.get_type(block.member_types[i]);
      if (type.basetype == spirv_cross::SPIRType::Struct) {
        *error = "error: constant '" + c.name + "': struct constants are not supported";
        return false;
      }
      switch (type.basetype) {
        case spirv_cross::SPIRType::Float: c.parameterType = D3DXPT_FLOAT; break;
        case spirv_cross::SPIRType::Int:
        case spirv_cross::SPIRType::UInt: c.parameterType = D3DXPT_INT; break;
        case spirv_cross::SPIRType::Boolean: c.parameterType = D3DXPT_BOOL; break;
        default:
          *error = "error: constant '" + c.name + "' has an unsupported type";
          return false;
      }
      uint64_t elements = 1;
      for (uint32_t dim : type.array) elements *= dim;
      if (elements == 0 || elements > 4096) {
        *error = "error: constant '" + c.name + "' has an unsupported array size";
        return false;
      }
      c.elements = static_cast<uint32_t>(elements);
      uint32_t perElement = 1;
      if (type.columns > 1) {
        // HLSL rows are SPIR-V columns; RowMajor marks HLSL column_major.
        c.rows = type.columns;
        c.columns = type.vecsize;
        const bool columnMajor = reflect.has_member_decoration(r.base_type_id, i, spv::DecorationRowMajor);
        c.parameterClass = columnMajor ? D3DXPC_MATRIX_COLUMNS : D3DXPC_MATRIX_ROWS;
        perElement = columnMajor ? c.columns : c.rows;
      } else {
        c.rows = 1;
        c.columns = type.vecsize;
        c.parameterClass = type.vecsize == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
      }
      c.registerSet = D3DXRS_FLOAT4;
      c.registerCount = perElement * c.elements;
      constants.push_back(std::move(c));
    }
  }
  for (const spirv_cross::Resource& r : res.sampled_images) {
    ShaderConstant c;
    c.name = reflect.get_name(r.id);
    const spirv_cross::SPIRType& type = reflect.get_type(r.type_id);
    uint64_t elements = 1;
    for (uint32_t dim : type.array) elements *= dim;
    if (elements == 0 || elements > 16) {
      *error = "error: sampler '" + c.name + "' has an unsupported array size";
      return false;
    }
    switch (type.image.dim) {
      case spv::Dim1D: c.parameterType = D3DXPT_SAMPLER1D; break;
      case spv::Dim3D: c.parameterType = D3DXPT_SAMPLER3D; break;
      case spv::DimCube: c.parameterType = D3DXPT_SAMPLERCUBE; break;
      default: c.parameterType = D3DXPT_SAMPLER2D; break;
    }
    c.registerSet = D3DXRS_SAMPLER;
    c.parameterClass = D3DXPC_OBJECT;
    c.rows = c.columns = 1;
    c.elements = static_cast<uint32_t>(elements);
    c.registerCount = c.elements;
    constants.push_back(std::move(c));
  }

  const uint32_t floatRegisters = profile.stage == ShaderStage::Vertex ? 256 : 224;
  std::vector<bool> usedFloat(floatRegisters, false), usedSampler(16, false);
  std::vector<bool> placed(constants.size(), false);
  for (size_t i = 0; i < constants.size(); ++i) {
    ShaderConstant& c = constants[i];
    auto it = explicitRegs.find(c.name);
    const char wanted = c.registerSet == D3DXRS_SAMPLER ? 's' : 'c';
    if (it == explicitRegs.end() || it->second.set != wanted) continue;
    std::vector<bool>& used = c.registerSet == D3DXRS_SAMPLER ? usedSampler : usedFloat;
    if (!Reserve(used, it->second.index, c.registerCount)) {
      *error = "error: constant '" + c.name + "': register(" + wanted + std::to_string(it->second.index) +
               ") overlaps another constant or is out of range";
      return false;
    }
    c.registerIndex = it->second.index;
    placed[i] = true;
  }
  for (size_t i = 0; i < constants.size(); ++i) {
    if (placed[i]) continue;
    ShaderConstant& c = constants[i];
    std::vector<bool>& used = c.registerSet == D3DXRS_SAMPLER ? usedSampler : usedFloat;
    if (!Allocate(used, c.registerCount, &c.registerIndex)) {
      *error = "error: constant '" + c.name + "': out of " +
               (c.registerSet == D3DXRS_SAMPLER ? "sampler" : "constant") + " registers";
      return false;
    }
  }
  *out = std::move(constants);
  return true;
}

// glslang's parse, link and SPIR-V generation for one shader: the messages
// and the code, or false.
bool ParseInProcess(glslang::TShader& shader, Includer& includer, EShMessages messages, LPCSTR pFunctionName,
                    std::vector<unsigned int>* spirv, std::string* log) {
  const bool parsed = shader.parse(GetDefaultResources(), 110, false, messages, includer);
  *log += FormatLog(shader.getInfoLog());
  if (!parsed) return false;
  if (shader.getIntermediate() == nullptr || shader.getIntermediate()->getNumEntryPoints() < 1) {
    *log += std::string("error X3501: '") + pFunctionName + "': entrypoint not found\n";
    return false;
  }
  glslang::TProgram program;
  program.addShader(&shader);
  if (!program.link(messages)) {
    *log += FormatLog(program.getInfoLog());
    return false;
  }
  glslang::TIntermediate* intermediate = program.getIntermediate(shader.getStage());
  if (intermediate == nullptr) {
    *log += "error: no code generated\n";
    return false;
  }
  spv::SpvBuildLogger logger;
  glslang::SpvOptions spvOptions;
  spvOptions.disableOptimizer = true;
  glslang::GlslangToSpv(*intermediate, *spirv, &logger, &spvOptions);
  *log += logger.getAllMessages();
  if (spirv->empty()) {
    *log += "error: no code generated\n";
    return false;
  }
  return true;
}

int64_t MonotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool WriteAll(int fd, const void* data, size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = write(fd, p, bytes);
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly bytes from fd; false at end of file, on an error, or when
// nothing arrives before deadline (CLOCK_MONOTONIC milliseconds).
bool ReadAll(int fd, void* data, size_t bytes, int64_t deadline) {
  char* p = static_cast<char*>(data);
  while (bytes > 0) {
    const int64_t wait = deadline - MonotonicMs();
    if (wait <= 0) return false;
    pollfd pfd = {fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(wait, 1000)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t n = read(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// A reply larger than this is not a compiler's: messages and code of any
// real shader are a few hundred kilobytes at most.
constexpr uint32_t kMaxReplyBytes = 256u << 20;

// How long a parse may take before the child is taken for hung. Real
// shaders parse in milliseconds, under valgrind in well under a second.
constexpr int64_t kParseTimeoutMs = 20000;

// Parse children that have replied but may not have exited yet. No thread
// waits for them: a thread that ends while a parse forks could hold an
// allocator lock that the child then waits for. They are reaped at the next
// compile and, at the latest, when the process ends.
struct Children {
  std::vector<pid_t> pids;
  ~Children() {
    for (pid_t pid : pids) {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
};
Children g_children;

void ReapFinishedChildren() {
  auto& pids = g_children.pids;
  pids.erase(std::remove_if(pids.begin(), pids.end(),
                            [](pid_t pid) {
                              const pid_t r = waitpid(pid, nullptr, WNOHANG);
                              return r == pid || (r < 0 && errno == ECHILD);
                            }),
             pids.end());
}

// Builds glslang's built-in symbol table of a stage in this process, so
// that forked children start with it.
void WarmUp(EShLanguage stage) {
  static std::once_flag s_once[EShLangCount];
  std::call_once(s_once[stage], [stage] {
    const char* source = stage == EShLangVertex ? "float4 main() : POSITION { return 0; }"
                                                : "float4 main() : COLOR0 { return 0; }";
    glslang::TShader shader(stage);
    shader.setStrings(&source, 1);
    shader.setEntryPoint("main");
    shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.parse(GetDefaultResources(), 110, false,
                 static_cast<EShMessages>(EShMsgReadHlsl | EShMsgHlslDX9Compatible));
  });
}

// glslang 12 crashes on some malformed HLSL instead of reporting it, and a
// broken shader file must give an error, not end the program. So the parse
// runs in a forked child (which inherits the built-in tables, built before
// the first compile, and the includer's files, already read by the
// preprocessing pass) and hands back its messages and code through a pipe;
// a child that dies or hangs is reported as an internal error of the
// compiler.
bool ParseToSpirv(glslang::TShader& shader, Includer& includer, EShMessages messages, LPCSTR pFunctionName,
                  std::vector<unsigned int>* spirv, std::string* log) {
  int fds[2];
  if (pipe(fds) != 0) return ParseInProcess(shader, includer, messages, pFunctionName, spirv, log);
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return ParseInProcess(shader, includer, messages, pFunctionName, spirv, log);
  }
  if (child == 0) {
    close(fds[0]);
    std::vector<unsigned int> code;
    std::string text;
    const uint32_t ok = ParseInProcess(shader, includer, messages, pFunctionName, &code, &text) ? 1 : 0;
    const uint32_t header[3] = {ok, static_cast<uint32_t>(text.size()), static_cast<uint32_t>(code.size())};
    const bool sent = WriteAll(fds[1], header, sizeof(header)) && WriteAll(fds[1], text.data(), text.size()) &&
                      WriteAll(fds[1], code.data(), code.size() * sizeof(unsigned int));
    _exit(sent ? 0 : 1);
  }
  close(fds[1]);
  ReapFinishedChildren();
  // The reply is taken as soon as it is whole, without waiting for the exit.
  const int64_t deadline = MonotonicMs() + kParseTimeoutMs;
  uint32_t header[3] = {0, 0, 0};
  std::string text;
  std::vector<unsigned int> code;
  bool whole = ReadAll(fds[0], header, sizeof(header), deadline) && header[1] <= kMaxReplyBytes &&
               header[2] <= kMaxReplyBytes / 4;
  if (whole) {
    text.resize(header[1]);
    code.resize(header[2]);
    whole = ReadAll(fds[0], text.data(), text.size(), deadline) &&
            ReadAll(fds[0], code.data(), code.size() * 4, deadline);
  }
  close(fds[0]);
  if (!whole) {
    const bool hung = MonotonicMs() >= deadline;
    if (hung) kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    *log += std::string(kSourceName) + (hung ? ": error: internal compiler error: the HLSL front end did not finish on this source\n"
                                             : ": error: internal compiler error: the HLSL front end stopped on this source\n");
    return false;
  }
  g_children.pids.push_back(child);
  log->append(text);
  *spirv = std::move(code);
  return header[0] == 1;
}

std::once_flag g_glslangInit;
std::mutex g_compileMutex;  // glslang's process-wide tables are not meant for concurrent first use

// glslang builds a stage's built-in symbol table on its first parse, some
// 8 ms a stage. A program compiles its shaders right after making its window
// and device, which take far longer and mostly wait on the display, so the
// entry point starts building the tables on a thread of their own. The
// first compile waits for that thread, so nothing else runs inside glslang
// when a parse forks; without it (a process that does not enter through
// the layer's main) the first compile builds them itself.
class WarmStart {
 public:
  WarmStart() { ostrevin::RegisterStartupTask(&StartTask); }
  ~WarmStart() { Wait(); }
  WarmStart(const WarmStart&) = delete;
  WarmStart& operator=(const WarmStart&) = delete;

  void Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_started) return;
    m_started = true;
    try {
      m_thread = std::thread([] { Warm(); });
    } catch (...) {
      // No thread: the first compile warms the tables itself.
    }
  }

  void Wait() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_started = true;  // too late to start one now
    if (m_thread.joinable()) m_thread.join();
  }

  static void Warm() {
    std::call_once(g_glslangInit, [] { glslang::InitializeProcess(); });
    WarmUp(EShLangVertex);
    WarmUp(EShLangFragment);
  }

 private:
  static void StartTask();

  std::mutex m_mutex;
  std::thread m_thread;
  bool m_started = false;
};

WarmStart g_warmStart;

void WarmStart::StartTask() { g_warmStart.Start(); }

struct Result {
  HRESULT hr = E_FAIL;
  std::string messages;
  ShaderCode code;
};

Result Compile(LPCSTR pSrcData, UINT srcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
               LPCSTR pFunctionName, const Profile& profile, DWORD flags) {
  Result result;
  g_warmStart.Wait();
  std::lock_guard<std::mutex> lock(g_compileMutex);
  WarmStart::Warm();

  const EShLanguage stage = profile.stage == ShaderStage::Vertex ? EShLangVertex : EShLangFragment;
  glslang::TShader shader(stage);
  const char* strings[] = {pSrcData};
  const int lengths[] = {static_cast<int>(srcDataLen)};
  const char* names[] = {kSourceName};
  shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);

  std::string preamble;
  if (flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) preamble += "#pragma pack_matrix(row_major)\n";
  for (const D3DXMACRO* m = pDefines; m != nullptr && m->Name != nullptr; ++m) {
    preamble += std::string("#define ") + m->Name + " " + (m->Definition != nullptr ? m->Definition : "1") + "\n";
  }
  shader.setPreamble(preamble.c_str());
  shader.setEntryPoint(pFunctionName);
  shader.setSourceEntryPoint(pFunctionName);
  shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
  shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
  shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
  shader.setEnvTargetHlslFunctionality1();

  const EShMessages messages =
      static_cast<EShMessages>(EShMsgReadHlsl | EShMsgHlslDX9Compatible | EShMsgSpvRules | EShMsgVulkanRules);
  Includer includer(pInclude);

  // Preprocessed once first: register annotations and redefinitions are
  // looked for in the text glslang will parse, macros and includes expanded.
  std::string preprocessed;
  {
    glslang::TShader pre(stage);
    pre.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    pre.setPreamble(preamble.c_str());
    pre.setEntryPoint(pFunctionName);
    pre.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    pre.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    pre.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    if (!pre.preprocess(GetDefaultResources(), 110, ENoProfile, false, false, messages, &preprocessed, includer)) {
      result.messages = FormatLog(pre.getInfoLog());
      return result;
    }
  }
  std::string refused;
  int refusedLine = 0;
  if (FindUnparsable(preprocessed, &refused, &refusedLine)) {
    result.messages = std::string(kSourceName) + "(" + std::to_string(refusedLine) + "): " + refused + "\n";
    return result;
  }

  std::vector<unsigned int> spirv;
  if (!ParseToSpirv(shader, includer, messages, pFunctionName, &spirv, &result.messages)) return result;

  ShaderCode code;
  code.stage = profile.stage;
  code.majorVersion = profile.major;
  code.minorVersion = profile.minor;
  code.spirv.assign(spirv.begin(), spirv.end());
  std::string error;
  try {
    if (!BuildConstants(code.spirv, profile, ScanRegisters(preprocessed.data(), preprocessed.size()), &code.constants, &error)) {
      result.messages += error + "\n";
      return result;
    }
  } catch (const std::exception& e) {
    result.messages += std::string("error: ") + e.what() + "\n";
    return result;
  }

  // The device will need GLSL; find out now whether it can have it.
  ostrevin::GlslShader glsl;
  if (!ostrevin::TranslateShaderToGlsl(code, ostrevin::GlslOptions(), &glsl, &error)) {
    result.messages += "error: " + error + "\n";
    return result;
  }
  result.code = std::move(code);
  result.hr = D3D_OK;
  return result;
}

}  // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
  return MakeBuffer(nullptr, NumBytes, ppBuffer);
}

HRESULT WINAPI D3DXCompileShader(LPCSTR pSrcData, UINT srcDataLen, const D3DXMACRO* pDefines,
                                 LPD3DXINCLUDE pInclude, LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                                 LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                                 LPD3DXCONSTANTTABLE* ppConstantTable) {
  if (ppShader != nullptr) *ppShader = nullptr;
  if (ppErrorMsgs != nullptr) *ppErrorMsgs = nullptr;
  if (ppConstantTable != nullptr) *ppConstantTable = nullptr;

  auto fail = [&](HRESULT hr, const std::string& text) {
    if (ppErrorMsgs != nullptr && !text.empty()) MakeTextBuffer(text, ppErrorMsgs);
    return hr;
  };
  if (pSrcData == nullptr || pFunctionName == nullptr || pProfile == nullptr) {
    return fail(D3DERR_INVALIDCALL, "error: no source, entry point or profile\n");
  }
  const Profile* profile = FindProfile(pProfile);
  if (profile == nullptr) {
    return fail(E_FAIL, std::string("error X3000: unsupported or unknown target profile '") + pProfile + "'\n");
  }
  if (srcDataLen == 0 || srcDataLen > 0x7FFFFFFFu) {
    return fail(E_FAIL, "memory(1): error: empty source\n");
  }
  if (pFunctionName[0] == '\0') return fail(E_FAIL, "error: empty entry point name\n");

  Result result = Compile(pSrcData, srcDataLen, pDefines, pInclude, pFunctionName, *profile, Flags);
  if (FAILED(result.hr)) {
    if (result.messages.empty()) result.messages = "error: compilation failed\n";
    return fail(result.hr, result.messages);
  }

  const std::vector<uint32_t> words = ostrevin::EncodeShaderCode(result.code);
  ID3DXBuffer* code = nullptr;
  HRESULT hr = MakeBuffer(words.data(), words.size() * 4, &code);
  if (FAILED(hr)) return hr;
  ConstantTable* table = nullptr;
  if (ppConstantTable != nullptr) {
    table = new (std::nothrow) ConstantTable(result.code.stage, result.code.majorVersion, result.code.minorVersion,
                                             std::move(result.code.constants));
    if (table == nullptr) {
      code->Release();
      return E_OUTOFMEMORY;
    }
  }
  // Warnings travel in the message buffer on success too, as D3DX does.
  if (ppErrorMsgs != nullptr && !result.messages.empty()) MakeTextBuffer(result.messages, ppErrorMsgs);
  if (ppShader != nullptr) {
    *ppShader = code;
  } else {
    code->Release();
  }
  if (ppConstantTable != nullptr) *ppConstantTable = table;
  return D3D_OK;
}

HRESULT WINAPI D3DXGetShaderConstantTable(const DWORD* pFunction, LPD3DXCONSTANTTABLE* ppConstantTable) {
  if (ppConstantTable == nullptr) return D3DERR_INVALIDCALL;
  *ppConstantTable = nullptr;
  ShaderCode code;
  if (!ostrevin::DecodeShaderCode(pFunction, 0, &code)) return D3DXERR_INVALIDDATA;
  ConstantTable* table =
      new (std::nothrow) ConstantTable(code.stage, code.majorVersion, code.minorVersion, std::move(code.constants));
  if (table == nullptr) return E_OUTOFMEMORY;
  *ppConstantTable = table;
  return D3D_OK;
}
