#include "fake/FakeDevice.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "TextureLayout.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace fake {
namespace {

struct PlannedFailure {
  HRESULT hr;
  int skip;   // calls to let through first
  int count;  // failures left; <= 0 after starting means unlimited
  bool unlimited;
};

struct State {
  std::vector<Call> calls;
  std::map<std::string, PlannedFailure, std::less<>> failures;
  std::set<IUnknown*> live;
  int texturesCreated = 0;
  bool allowZeroLength = true;
  bool recording = true;
};

State& S() {
  static State* s = new State();  // outlives every static object that may still release
  return *s;
}

Call& Log(const char* name, const void* object, std::initializer_list<uint64_t> args = {},
          std::initializer_list<float> floats = {}) {
  static Call s_discarded;
  if (!S().recording) return s_discarded;
  Call call;
  call.name = name;
  call.object = object;
  call.args = args;
  call.floats = floats;
  S().calls.push_back(std::move(call));
  return S().calls.back();
}

// The planned result of this call of `name`: S_OK or the injected failure.
HRESULT Planned(const char* name) {
  if (S().failures.empty()) return S_OK;
  auto it = S().failures.find(name);
  if (it == S().failures.end()) return S_OK;
  PlannedFailure& f = it->second;
  if (f.skip > 0) {
    --f.skip;
    return S_OK;
  }
  HRESULT hr = f.hr;
  if (!f.unlimited && --f.count <= 0) S().failures.erase(it);
  return hr;
}

uint64_t P(const void* p) { return reinterpret_cast<uintptr_t>(p); }

template <typename Interface>
class Object : public Interface {
 public:
  Object() { S().live.insert(this); }
  virtual ~Object() { S().live.erase(this); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    Log("Release", this);
    ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }
  ULONG Refs() const { return m_refs; }

 private:
  ULONG m_refs = 1;
};

class FakeDevice;

template <typename Interface, typename Desc>
class Buffer : public Object<Interface> {
 public:
  Buffer(IDirect3DDevice9* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, D3DRESOURCETYPE type)
      : m_device(device), m_bytes(length), m_unlocked(length) {
    std::memset(&m_desc, 0, sizeof(m_desc));
    m_desc.Format = format;
    m_desc.Type = type;
    m_desc.Usage = usage;
    m_desc.Pool = pool;
    m_desc.Size = length;
  }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** pp) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return m_desc.Type; }
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** ppData, DWORD flags) override {
    Log("Lock", this, {offset, size, flags});
    HRESULT hr = Planned("Lock");
    if (FAILED(hr)) return hr;
    if (ppData == nullptr || offset > m_bytes.size()) return D3DERR_INVALIDCALL;
    *ppData = m_bytes.data() + offset;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE Unlock() override {
    Log("Unlock", this);
    m_unlocked = m_bytes;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDesc(Desc* pDesc) override {
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = m_desc;
    return D3D_OK;
  }
  const std::vector<uint8_t>& Unlocked() const { return m_unlocked; }

 private:
  IDirect3DDevice9* m_device;
  std::vector<uint8_t> m_bytes;
  std::vector<uint8_t> m_unlocked;
  Desc m_desc;
};


using VertexBuffer = Buffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

class Texture : public Object<IDirect3DTexture9> {
 public:
  Texture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
      : m_device(device) {
    UINT w = width, h = height;
    if (levels == 0) {
      levels = 1;
      for (UINT m = std::max(width, height); m > 1; m >>= 1) ++levels;
    }
    for (UINT i = 0; i < levels; ++i) {
      Level level;
      std::memset(&level.desc, 0, sizeof(level.desc));
      level.desc.Format = format;
      level.desc.Type = D3DRTYPE_SURFACE;
      level.desc.Usage = usage;
      level.desc.Pool = pool;
      level.desc.Width = w;
      level.desc.Height = h;
      level.pitch = Pitch(format, w);
      level.bytes.resize(static_cast<size_t>(level.pitch) * Rows(format, h));
      m_levels.push_back(std::move(level));
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
    }
  }
  // Tight rows as the format table lays them out; 4 bytes a pixel for a
  // format it does not know.
  static UINT Pitch(D3DFORMAT f, UINT w) {
    const uint64_t bytes = ostrevin::formats::RowBytes(f, w);
    return bytes != 0 ? static_cast<UINT>(bytes) : w * 4;
  }
  static UINT Rows(D3DFORMAT f, UINT h) { return ostrevin::formats::RowCount(f, h); }

  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** pp) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override {
    Log("GetLevelDesc", this, {level});
    HRESULT hr = Planned("GetLevelDesc");
    if (FAILED(hr)) return hr;
    if (level >= m_levels.size() || pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = m_levels[level].desc;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect, DWORD flags) override {
    Log("LockRect", this, {level, P(pRect), flags});
    HRESULT hr = Planned("LockRect");
    if (FAILED(hr)) return hr;
    if (level >= m_levels.size() || pLocked == nullptr || pRect != nullptr) return D3DERR_INVALIDCALL;
    pLocked->Pitch = static_cast<INT>(m_levels[level].pitch);
    pLocked->pBits = m_levels[level].bytes.data();
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
    Log("UnlockRect", this, {level});
    return level < m_levels.size() ? D3D_OK : D3DERR_INVALIDCALL;
  }

 private:
  struct Level {
    D3DSURFACE_DESC desc;
    UINT pitch = 0;
    std::vector<uint8_t> bytes;
  };
  IDirect3DDevice9* m_device;
  std::vector<Level> m_levels;
};

class VertexDeclaration : public Object<IDirect3DVertexDeclaration9> {
 public:
  VertexDeclaration(IDirect3DDevice9* device, const D3DVERTEXELEMENT9* elements) : m_device(device) {
    for (;; ++elements) {
      m_elements.push_back(*elements);
      if (elements->Stream == 0xFF) break;
    }
  }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** pp) override;
  HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNum) override {
    if (pNum == nullptr) return D3DERR_INVALIDCALL;
    if (pElement != nullptr) std::copy(m_elements.begin(), m_elements.end(), pElement);
    *pNum = static_cast<UINT>(m_elements.size());
    return D3D_OK;
  }

 private:
  IDirect3DDevice9* m_device;
  std::vector<D3DVERTEXELEMENT9> m_elements;
};

template <typename Interface>
class Shader : public Object<Interface> {
 public:
  explicit Shader(IDirect3DDevice9* device) : m_device(device) {}
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** pp) override {
    if (pp == nullptr) return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *pp = m_device;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFunction(void*, UINT* pSize) override {
    if (pSize != nullptr) *pSize = 0;
    return D3D_OK;
  }

 private:
  IDirect3DDevice9* m_device;
};

template <typename Interface, typename Desc>
HRESULT Buffer<Interface, Desc>::GetDevice(IDirect3DDevice9** pp) {
  if (pp == nullptr) return D3DERR_INVALIDCALL;
  m_device->AddRef();
  *pp = m_device;
  return D3D_OK;
}
HRESULT Texture::GetDevice(IDirect3DDevice9** pp) {
  if (pp == nullptr) return D3DERR_INVALIDCALL;
  m_device->AddRef();
  *pp = m_device;
  return D3D_OK;
}
HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** pp) {
  if (pp == nullptr) return D3DERR_INVALIDCALL;
  m_device->AddRef();
  *pp = m_device;
  return D3D_OK;
}

class FakeDevice : public Object<IDirect3DDevice9> {
 public:
  FakeDevice(IDirect3D9* d3d, const D3DPRESENT_PARAMETERS& params) : m_d3d(d3d), m_params(params) {
    m_d3d->AddRef();
    std::memset(m_vsConstants, 0, sizeof(m_vsConstants));
    std::memset(m_psConstants, 0, sizeof(m_psConstants));
  }
  ~FakeDevice() override { m_d3d->Release(); }

  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
    Log("TestCooperativeLevel", this);
    return Planned("TestCooperativeLevel");
  }
  HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** pp) override {
    if (pp == nullptr) return D3DERR_INVALIDCALL;
    m_d3d->AddRef();
    *pp = m_d3d;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* p) override {
    Call& c = Log("Reset", this, {P(p)});
    if (p != nullptr && S().recording) c.args.insert(c.args.end(), {p->BackBufferWidth, p->BackBufferHeight});
    HRESULT hr = Planned("Reset");
    if (FAILED(hr)) return hr;
    if (p == nullptr) return D3DERR_INVALIDCALL;
    m_params = *p;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE Present(const RECT* a, const RECT* b, HWND w, const RGNDATA* r) override {
    Log("Present", this, {P(a), P(b), P(w), P(r)});
    return Planned("Present");
  }
  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9** pp, HANDLE* shared) override {
    Log("CreateTexture", this, {width, height, levels, usage, static_cast<uint64_t>(format), pool, P(shared)});
    HRESULT hr = Planned("CreateTexture");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    *pp = new Texture(this, width, height, levels, usage, format, pool);
    ++S().texturesCreated;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer9** pp, HANDLE* shared) override {
    Log("CreateVertexBuffer", this, {length, usage, fvf, pool, P(shared)});
    HRESULT hr = Planned("CreateVertexBuffer");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || (length == 0 && !S().allowZeroLength)) return D3DERR_INVALIDCALL;
    *pp = new VertexBuffer(this, length, usage, D3DFMT_VERTEXDATA, pool, D3DRTYPE_VERTEXBUFFER);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer9** pp, HANDLE* shared) override {
    Log("CreateIndexBuffer", this, {length, usage, static_cast<uint64_t>(format), pool, P(shared)});
    HRESULT hr = Planned("CreateIndexBuffer");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || (length == 0 && !S().allowZeroLength)) return D3DERR_INVALIDCALL;
    *pp = new IndexBuffer(this, length, usage, format, pool, D3DRTYPE_INDEXBUFFER);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE BeginScene() override {
    Log("BeginScene", this);
    return Planned("BeginScene");
  }
  HRESULT STDMETHODCALLTYPE EndScene() override {
    Log("EndScene", this);
    return Planned("EndScene");
  }
  HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                  DWORD stencil) override {
    Log("Clear", this, {count, P(rects), flags, color, stencil}, {z});
    return Planned("Clear");
  }
  HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* vp) override {
    Log("SetViewport", this, {P(vp)});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* vp) override {
    if (vp == nullptr) return D3DERR_INVALIDCALL;
    *vp = {0, 0, m_params.BackBufferWidth, m_params.BackBufferHeight, 0.0f, 1.0f};
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    Log("SetRenderState", this, {static_cast<uint64_t>(state), value});
    m_renderStates[state] = value;
    return Planned("SetRenderState");
  }
  HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* pValue) override {
    if (pValue == nullptr) return D3DERR_INVALIDCALL;
    *pValue = m_renderStates[state];
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** pp) override {
    if (pp == nullptr || stage >= 16) return D3DERR_INVALIDCALL;
    *pp = m_textures[stage];
    if (*pp != nullptr) (*pp)->AddRef();
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* tex) override {
    Log("SetTexture", this, {stage, P(tex)});
    if (stage >= 16) return D3DERR_INVALIDCALL;
    m_textures[stage] = tex;  // the fake holds no reference: tests watch the program's own counts
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* pValue) override {
    if (pValue == nullptr) return D3DERR_INVALIDCALL;
    *pValue = m_samplerStates[{sampler, type}];
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override {
    Log("SetSamplerState", this, {sampler, static_cast<uint64_t>(type), value});
    m_samplerStates[{sampler, type}] = value;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* pRect) override {
    if (pRect == nullptr) return D3DERR_INVALIDCALL;
    Log("SetScissorRect", this,
        {static_cast<uint64_t>(pRect->left), static_cast<uint64_t>(pRect->top), static_cast<uint64_t>(pRect->right),
         static_cast<uint64_t>(pRect->bottom)});
    m_scissorRect = *pRect;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* pRect) override {
    if (pRect == nullptr) return D3DERR_INVALIDCALL;
    *pRect = m_scissorRect;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override {
    Log("DrawPrimitive", this, {static_cast<uint64_t>(type), start, count});
    return Planned("DrawPrimitive");
  }
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex, UINT numVertices,
                                                 UINT startIndex, UINT primCount) override {
    Log("DrawIndexedPrimitive", this,
        {static_cast<uint64_t>(type), static_cast<uint64_t>(static_cast<int64_t>(base)), minIndex, numVertices,
         startIndex, primCount});
    return Planned("DrawIndexedPrimitive");
  }
  HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                                    IDirect3DVertexDeclaration9** pp) override {
    Log("CreateVertexDeclaration", this, {P(elements)});
    HRESULT hr = Planned("CreateVertexDeclaration");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || elements == nullptr) return D3DERR_INVALIDCALL;
    *pp = new VertexDeclaration(this, elements);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) override {
    Log("SetVertexDeclaration", this, {P(decl)});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* code, IDirect3DVertexShader9** pp) override {
    Log("CreateVertexShader", this, {P(code)});
    HRESULT hr = Planned("CreateVertexShader");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || code == nullptr) return D3DERR_INVALIDCALL;
    *pp = new Shader<IDirect3DVertexShader9>(this);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* shader) override {
    Log("SetVertexShader", this, {P(shader)});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT start, const float* data, UINT count) override {
    return SetConstants("SetVertexShaderConstantF", m_vsConstants, 256, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT start, float* data, UINT count) override {
    return GetConstants(m_vsConstants, 256, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT start, const int* data, UINT count) override {
    return SetInts("SetVertexShaderConstantI", m_vsInts[0], 16, 4, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT start, int* data, UINT count) override {
    return GetInts(m_vsInts[0], 16, 4, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) override {
    return SetInts("SetVertexShaderConstantB", m_vsBools, 16, 1, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT start, BOOL* data, UINT count) override {
    return GetInts(m_vsBools, 16, 1, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset,
                                            UINT stride) override {
    Log("SetStreamSource", this, {stream, P(vb), offset, stride});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* ib) override {
    Log("SetIndices", this, {P(ib)});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* code, IDirect3DPixelShader9** pp) override {
    Log("CreatePixelShader", this, {P(code)});
    HRESULT hr = Planned("CreatePixelShader");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || code == nullptr) return D3DERR_INVALIDCALL;
    *pp = new Shader<IDirect3DPixelShader9>(this);
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* shader) override {
    Log("SetPixelShader", this, {P(shader)});
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT start, const float* data, UINT count) override {
    return SetConstants("SetPixelShaderConstantF", m_psConstants, 224, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT start, float* data, UINT count) override {
    return GetConstants(m_psConstants, 224, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT start, const int* data, UINT count) override {
    return SetInts("SetPixelShaderConstantI", m_psInts[0], 16, 4, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT start, int* data, UINT count) override {
    return GetInts(m_psInts[0], 16, 4, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) override {
    return SetInts("SetPixelShaderConstantB", m_psBools, 16, 1, start, data, count);
  }
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT start, BOOL* data, UINT count) override {
    return GetInts(m_psBools, 16, 1, start, data, count);
  }

 private:
  HRESULT SetConstants(const char* name, float (*file)[4], UINT size, UINT start, const float* data, UINT count) {
    Call& c = Log(name, this, {start, count});
    if (data == nullptr || start > size || count > size - start) return D3DERR_INVALIDCALL;
    if (S().recording) c.floats.assign(data, data + 4 * count);
    std::memcpy(file[start], data, sizeof(float) * 4 * count);
    return D3D_OK;
  }
  // Int (4 per register) and bool (1 per register) files.
  HRESULT SetInts(const char* name, int* file, UINT size, UINT width, UINT start, const int* data, UINT count) {
    Call& c = Log(name, this, {start, count});
    if (data == nullptr || start > size || count > size - start) return D3DERR_INVALIDCALL;
    if (S().recording) c.ints.assign(data, data + width * count);
    std::memcpy(file + start * width, data, sizeof(int) * width * count);
    return D3D_OK;
  }
  HRESULT GetInts(const int* file, UINT size, UINT width, UINT start, int* data, UINT count) {
    if (data == nullptr || start > size || count > size - start) return D3DERR_INVALIDCALL;
    std::memcpy(data, file + start * width, sizeof(int) * width * count);
    return D3D_OK;
  }
  HRESULT GetConstants(float (*file)[4], UINT size, UINT start, float* data, UINT count) {
    if (data == nullptr || start > size || count > size - start) return D3DERR_INVALIDCALL;
    std::memcpy(data, file[start], sizeof(float) * 4 * count);
    return D3D_OK;
  }

  IDirect3D9* m_d3d;
  D3DPRESENT_PARAMETERS m_params;
  std::map<int, DWORD> m_renderStates;
  std::map<std::pair<DWORD, int>, DWORD> m_samplerStates;
  RECT m_scissorRect = {0, 0, 0, 0};
  IDirect3DBaseTexture9* m_textures[16] = {};
  float m_vsConstants[256][4];
  float m_psConstants[224][4];
  int m_vsInts[16][4] = {};
  int m_psInts[16][4] = {};
  BOOL m_vsBools[16] = {};
  BOOL m_psBools[16] = {};
};

class FakeD3D : public Object<IDirect3D9> {
 public:
  UINT STDMETHODCALLTYPE GetAdapterCount() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = {1024, 768, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** pp) override {
    Log("CreateDevice", this, {adapter, static_cast<uint64_t>(type), P(window), flags, P(params)});
    HRESULT hr = Planned("CreateDevice");
    if (FAILED(hr)) return hr;
    if (pp == nullptr || params == nullptr) return D3DERR_INVALIDCALL;
    *pp = new FakeDevice(this, *params);
    return D3D_OK;
  }
};

}  // namespace

const std::vector<Call>& Calls() { return S().calls; }

std::vector<Call> CallsNamed(const std::string& name) {
  std::vector<Call> out;
  for (const Call& c : S().calls)
    if (c.name == name) out.push_back(c);
  return out;
}

std::vector<std::string> CallNames(const std::vector<std::string>& filter) {
  std::vector<std::string> out;
  for (const Call& c : S().calls)
    if (filter.empty() || std::find(filter.begin(), filter.end(), c.name) != filter.end()) out.push_back(c.name);
  return out;
}

size_t CountCalls(const std::string& name) {
  return static_cast<size_t>(
      std::count_if(S().calls.begin(), S().calls.end(), [&](const Call& c) { return c.name == name; }));
}

void FailCall(const std::string& name, HRESULT hr, int nth, int count) {
  S().failures[name] = PlannedFailure{hr, nth - 1, count, count <= 0};
}

void SetRecording(bool on) { S().recording = on; }

void Clear() {
  S().calls.clear();
  S().failures.clear();
  S().allowZeroLength = true;
  S().recording = true;
}

int LiveObjects() { return static_cast<int>(S().live.size()); }

ULONG RefCount(IUnknown* pObject) {
  if (S().live.count(pObject) == 0) return 0;
  if (auto* o = dynamic_cast<Object<IDirect3DVertexBuffer9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3DIndexBuffer9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3DTexture9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3DVertexDeclaration9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3DVertexShader9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3DPixelShader9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3DDevice9>*>(pObject)) return o->Refs();
  if (auto* o = dynamic_cast<Object<IDirect3D9>*>(pObject)) return o->Refs();
  return 0;
}

std::vector<uint8_t> BufferBytes(IUnknown* pBuffer) {
  if (S().live.count(pBuffer) == 0) return {};
  if (auto* vb = dynamic_cast<VertexBuffer*>(pBuffer)) return vb->Unlocked();
  if (auto* ib = dynamic_cast<IndexBuffer*>(pBuffer)) return ib->Unlocked();
  return {};
}

int TexturesCreated() { return S().texturesCreated; }

void AllowZeroLengthBuffers(bool allow) { S().allowZeroLength = allow; }

}  // namespace fake

IDirect3D9* WINAPI Direct3DCreate9(UINT version) {
  fake::Log("Direct3DCreate9", nullptr, {version});
  if (version != D3D_SDK_VERSION || FAILED(fake::Planned("Direct3DCreate9"))) return nullptr;
  return new fake::FakeD3D();
}
