// Shaders from public projects (tests/hlsl/corpus, listed in manifest.tsv):
// each compiles with D3DXCompileShader, translates to GLSL and is created on
// the OpenGL device under Xvfb; each vertex/pixel pair is drawn (the GL
// program links), and a few are looked at (two that copy the texture pixel
// for pixel, as Direct3D 9 samples it). A pixel shader without a partner
// is drawn behind a pass-through vertex shader, a vertex shader behind a
// flat pixel shader. A row whose `expect` names a failing step must fail at
// that step. The last line printed counts what passed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#define ENABLE_HLSL 1
#include <d3dx9.h>

#include "ShaderCode.h"
#include "support/FrameCapture.h"
#include "support/TestDevice.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 64;

// The steps a shader goes through; a row's expectation names the first that fails.
enum Step { kCompile, kTranslate, kCreate, kDraw, kSteps };
const char* const kStepNames[kSteps] = {"compile", "translate", "create", "draw"};

// A gtest name: letters, digits and underscores.
std::string TestName(const std::string& s) {
  std::string name = s;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

struct Row {
  std::string file, entry, profile, stage, pair, defines, expect;
  int failingStep = kSteps;  // from `expect`: kSteps when it should pass
  bool Vertex() const { return stage == "vs"; }
  std::string Name() const { return TestName(file + "_" + entry + "_" + profile); }
};

// gtest shows parameters by these.
void PrintTo(const Row& row, std::ostream* os) { *os << row.file << " " << row.entry << " " << row.profile; }

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> fields;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, sep)) fields.push_back(field);
  return fields;
}

std::vector<Row> LoadManifest() {
  std::vector<Row> rows;
  std::ifstream in(std::string(OSTREVIN_CORPUS_DIR) + "/manifest.tsv");
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (header) {
      header = false;
      continue;
    }
    const std::vector<std::string> f = Split(line, '\t');
    if (f.size() < 7) continue;
    Row row{f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
    for (int step = 0; step < kSteps; ++step) {
      if (row.expect.rfind(std::string(kStepNames[step]) + "-fails", 0) == 0) row.failingStep = step;
    }
    rows.push_back(row);
  }
  return rows;
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = LoadManifest();
  return rows;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// #include "x" and <x> from the shader's own folder.
class FolderInclude : public ID3DXInclude {
 public:
  explicit FolderInclude(fs::path dir) : m_dir(std::move(dir)) {}
  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    const fs::path path = m_dir / name;
    if (!fs::exists(path)) return E_FAIL;
    m_open.push_back(std::make_unique<std::string>(ReadFile(path)));
    *data = m_open.back()->data();
    *bytes = static_cast<UINT>(m_open.back()->size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID) override { return S_OK; }

 private:
  fs::path m_dir;
  std::vector<std::unique_ptr<std::string>> m_open;
};

// What one shader came to: the code, its GLSL, the created shader, or the
// first step that failed and why.
struct Result {
  int failedStep = kSteps;
  std::string message;
  std::vector<DWORD> code;
  ostrevin::GlslShader glsl;
  IUnknown* shader = nullptr;  // IDirect3DVertexShader9 / IDirect3DPixelShader9
};

// Counts for the closing line.
struct Tally {
  int rows = 0, reached[kSteps] = {}, expectedFailures = 0, surprises = 0;
  int pairs = 0, linked = 0, looked = 0, plausible = 0;
};
Tally g_tally;

// Every shader created, released before the device.
std::vector<IUnknown*> g_created;

// The device of the whole run, every frame captured at Present.
class CorpusEnvironment : public ::testing::Environment {
 public:
  static IDirect3DDevice9* device;
  static IDirect3DTexture9* texture;
  static fs::path captureDir;
  static unsigned frames;

  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) return;
    std::string list = "1";
    for (int i = 2; i <= 200; ++i) list += "," + std::to_string(i);
    captureDir = StartCapture("ostrevin-corpus-", list);
    if (m_test.Open(L"CorpusTest", 200, 200, kSize, kSize) != nullptr) {
      device = nullptr;
      return;
    }
    device = m_test.device;
    // A gradient: red across, green down, blue half, opaque.
    device->CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    D3DLOCKED_RECT rect;
    if (texture != nullptr && SUCCEEDED(texture->LockRect(0, &rect, nullptr, 0))) {
      for (int y = 0; y < kSize; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(rect.pBits) + y * rect.Pitch);
        for (int x = 0; x < kSize; ++x) row[x] = D3DCOLOR_ARGB(255, x * 4, y * 4, 128);
      }
      texture->UnlockRect(0);
    }
  }

  void TearDown() override {
    const Tally& t = g_tally;
    std::printf(
        "corpus: %d of %d compile, %d translate, %d create; %d of %d pairs drawn, %d of %d rendered plausibly; "
        "%d expected failures, %d surprises\n",
        t.reached[kTranslate], t.rows, t.reached[kCreate], t.reached[kDraw], t.linked, t.pairs, t.plausible, t.looked,
        t.expectedFailures, t.surprises);
    for (IUnknown* shader : g_created) shader->Release();
    if (texture != nullptr) texture->Release();
    m_test.Close();
    device = nullptr;
    if (!captureDir.empty()) fs::remove_all(captureDir);
  }

 private:
  TestDevice m_test;
};
IDirect3DDevice9* CorpusEnvironment::device = nullptr;
IDirect3DTexture9* CorpusEnvironment::texture = nullptr;
fs::path CorpusEnvironment::captureDir;
unsigned CorpusEnvironment::frames = 0;

[[maybe_unused]] const ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new CorpusEnvironment);

// Compiles, translates and creates, as far as it goes.
Result Build(const std::string& source, const std::string& entry, const std::string& profile,
             const std::vector<D3DXMACRO>& macros, LPD3DXINCLUDE include) {
  Result r;
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* messages = nullptr;
  const HRESULT hr = D3DXCompileShader(source.data(), static_cast<UINT>(source.size()),
                                       macros.empty() ? nullptr : macros.data(), include, entry.c_str(),
                                       profile.c_str(), 0, &code, &messages, nullptr);
  if (messages != nullptr) {
    r.message = static_cast<const char*>(messages->GetBufferPointer());
    messages->Release();
  }
  if (FAILED(hr) || code == nullptr) {
    r.failedStep = kCompile;
    return r;
  }
  const DWORD* words = static_cast<const DWORD*>(code->GetBufferPointer());
  r.code.assign(words, words + code->GetBufferSize() / 4);
  code->Release();

  ostrevin::ShaderCode decoded;
  std::string error;
  if (!ostrevin::DecodeShaderCode(r.code.data(), r.code.size() * 4, &decoded) ||
      !ostrevin::TranslateShaderToGlsl(decoded, {}, &r.glsl, &error)) {
    r.failedStep = kTranslate;
    r.message = error;
    return r;
  }

  IDirect3DDevice9* device = CorpusEnvironment::device;
  if (device == nullptr) {
    r.failedStep = kCreate;
    r.message = "no device (DISPLAY unset?)";
    return r;
  }
  HRESULT created;
  if (decoded.stage == ostrevin::ShaderStage::Vertex) {
    IDirect3DVertexShader9* vs = nullptr;
    created = device->CreateVertexShader(r.code.data(), &vs);
    r.shader = vs;
  } else {
    IDirect3DPixelShader9* ps = nullptr;
    created = device->CreatePixelShader(r.code.data(), &ps);
    r.shader = ps;
  }
  if (r.shader != nullptr) g_created.push_back(r.shader);
  if (FAILED(created)) {
    r.failedStep = kCreate;
    r.message = "Create*Shader failed";
  }
  return r;
}

// Each row built once, on first use.
const Result& Built(const Row& row) {
  static std::map<std::string, Result> built;
  auto it = built.find(row.Name());
  if (it != built.end()) return it->second;
  const fs::path path = fs::path(OSTREVIN_CORPUS_DIR) / row.file;
  std::vector<std::string> storage;
  if (row.defines != "-") storage = Split(row.defines, ';');
  std::vector<D3DXMACRO> macros;
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string& d : storage) {
    const size_t eq = d.find('=');
    pairs.emplace_back(d.substr(0, eq), eq == std::string::npos ? "1" : d.substr(eq + 1));
  }
  for (const auto& p : pairs) macros.push_back({p.first.c_str(), p.second.c_str()});
  if (!macros.empty()) macros.push_back({nullptr, nullptr});
  FolderInclude include(path.parent_path());
  return built.emplace(row.Name(), Build(ReadFile(path), row.entry, row.profile, macros, &include)).first->second;
}

// Our own partners for shaders without one, as a video player would use:
// every texture coordinate and colour written, or a flat colour.
const Result& PassThrough(bool shaderModel3) {
  static std::map<bool, Result> built;
  auto it = built.find(shaderModel3);
  if (it != built.end()) return it->second;
  const std::string source =
      "struct Out { float4 p : POSITION; float4 t0 : TEXCOORD0; float4 t1 : TEXCOORD1; float4 t2 : TEXCOORD2;\n"
      "  float4 t3 : TEXCOORD3; float4 t4 : TEXCOORD4; float4 t5 : TEXCOORD5; float4 t6 : TEXCOORD6;\n"
      "  float4 t7 : TEXCOORD7; float4 c0 : COLOR0; float4 c1 : COLOR1; };\n"
      "Out main(float4 p : POSITION, float4 t : TEXCOORD0) {\n"
      "  Out o; o.p = p; o.t0 = o.t1 = o.t2 = o.t3 = o.t4 = o.t5 = o.t6 = o.t7 = t; o.c0 = o.c1 = 1; return o; }\n";
  return built.emplace(shaderModel3, Build(source, "main", shaderModel3 ? "vs_3_0" : "vs_2_0", {}, nullptr))
      .first->second;
}
const Result& FlatPixel(bool shaderModel3) {
  static std::map<bool, Result> built;
  auto it = built.find(shaderModel3);
  if (it != built.end()) return it->second;
  const std::string source = "float4 main() : COLOR { return float4(0, 1, 0, 1); }\n";
  return built.emplace(shaderModel3, Build(source, "main", shaderModel3 ? "ps_3_0" : "ps_2_0", {}, nullptr))
      .first->second;
}

// A pair to draw: manifest rows (or -1 for our own partner).
struct Pair {
  std::string name;
  int vs = -1, ps = -1;
  // Output that a plain textured quad would give: not blank, varied.
  bool look = false;
};

// Pairs whose output is the texture filtered one way or another.
const std::set<std::string> kLookedAt = {"ogre-blur0", "ogre-blurh", "dxsdk-shadow-light",
                                         "ps-mpc-hc/Sharpen complex 2.hlsl", "ps-mpc-hc/BT.601 to BT.709.hlsl",
                                         "ps-ogre/Combine_fp.cg"};

void PrintTo(const Pair& pair, std::ostream* os) { *os << pair.name; }

// Of those, the pairs whose output is the texture unchanged.
const std::set<std::string> kCopies = {"dxsdk-shadow-light", "ps-ogre/Combine_fp.cg"};

std::vector<Pair> MakePairs() {
  std::vector<Pair> pairs;
  std::map<std::string, size_t> byId;
  const std::vector<Row>& rows = Rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    if (row.pair == "-") {
      Pair p;
      p.name = (row.Vertex() ? "vs-" : "ps-") + row.file;
      (row.Vertex() ? p.vs : p.ps) = static_cast<int>(i);
      // Two entry points of one file differ by name.
      if (std::count_if(rows.begin(), rows.end(), [&](const Row& o) { return o.file == row.file; }) > 1) {
        p.name += ":" + row.entry;
      }
      pairs.push_back(p);
      continue;
    }
    auto it = byId.find(row.pair);
    if (it == byId.end()) {
      it = byId.emplace(row.pair, pairs.size()).first;
      pairs.push_back(Pair{row.pair});
    }
    (row.Vertex() ? pairs[it->second].vs : pairs[it->second].ps) = static_cast<int>(i);
  }
  for (Pair& p : pairs) p.look = kLookedAt.count(p.name) != 0;
  return pairs;
}

class CorpusShader : public ::testing::TestWithParam<Row> {};

TEST_P(CorpusShader, CompilesTranslatesAndCreates) {
  const Row& row = GetParam();
  const Result& r = Built(row);
  ++g_tally.rows;
  for (int step = 0; step < kSteps && step <= r.failedStep; ++step) ++g_tally.reached[step];
  // The draw is the pair's test; here the row passes its first three steps or fails where it says.
  const int failed = r.failedStep == kSteps ? kDraw : r.failedStep;
  const int expected = std::min(row.failingStep, static_cast<int>(kDraw));
  if (failed == expected && expected != kDraw) ++g_tally.expectedFailures;
  if (failed != expected) ++g_tally.surprises;
  EXPECT_EQ(kStepNames[failed], std::string(kStepNames[expected]))
      << row.file << " " << row.entry << " " << row.profile << " (expect: " << row.expect << ")\n"
      << r.message;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusShader, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.Name(); });

// A full-screen quad of every input the vertex shader takes, all FLOAT4:
// positions in clip space, texture coordinates 0..1, colours and normals
// plausible.
struct Quad {
  std::vector<D3DVERTEXELEMENT9> elements;
  std::vector<float> data;
  UINT stride = 0;
};

Quad MakeQuad(const ostrevin::GlslShader& vs) {
  Quad q;
  for (const ostrevin::GlslAttribute& a : vs.attributes) {
    q.elements.push_back({0, static_cast<WORD>(q.stride), D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, a.usage,
                          a.usageIndex});
    q.stride += 16;
  }
  q.elements.push_back(D3DDECL_END());
  const float corners[6][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, 1}, {1, -1}, {-1, -1}};
  for (const auto& c : corners) {
    const float u = (c[0] + 1) / 2, v = (1 - c[1]) / 2;
    for (const ostrevin::GlslAttribute& a : vs.attributes) {
      float value[4] = {u, v, 0, 1};
      switch (a.usage) {
        case D3DDECLUSAGE_POSITION: value[0] = c[0]; value[1] = c[1]; value[2] = 0.5f; break;
        case D3DDECLUSAGE_NORMAL: value[0] = 0; value[1] = 0; value[2] = -1; value[3] = 0; break;
        case D3DDECLUSAGE_COLOR: value[0] = value[1] = value[2] = 1; break;
        default: break;
      }
      q.data.insert(q.data.end(), value, value + 4);
    }
  }
  return q;
}

// Vertex constants: an identity matrix in every four registers (so that
// every transform keeps the quad on screen); pixel constants 0.5.
void SetConstants(IDirect3DDevice9* device) {
  std::vector<float> vs(256 * 4, 0.0f), ps(224 * 4, 0.5f);
  for (size_t reg = 0; reg < 256; ++reg) vs[reg * 4 + reg % 4] = 1.0f;
  device->SetVertexShaderConstantF(0, vs.data(), 256);
  device->SetPixelShaderConstantF(0, ps.data(), 224);
}

class CorpusPair : public ::testing::TestWithParam<Pair> {};

TEST_P(CorpusPair, Draws) {
  const Pair& pair = GetParam();
  const std::vector<Row>& rows = Rows();
  const Row* vsRow = pair.vs >= 0 ? &rows[static_cast<size_t>(pair.vs)] : nullptr;
  const Row* psRow = pair.ps >= 0 ? &rows[static_cast<size_t>(pair.ps)] : nullptr;
  const bool sm3 = (vsRow != nullptr && vsRow->profile.find("_3_") != std::string::npos) ||
                   (psRow != nullptr && psRow->profile.find("_3_") != std::string::npos);
  const Result& vs = vsRow != nullptr ? Built(*vsRow) : PassThrough(sm3);
  const Result& ps = psRow != nullptr ? Built(*psRow) : FlatPixel(sm3);
  ++g_tally.pairs;
  // A partner that fails before the draw fails as its own row says; nothing to draw.
  const int expected = std::min(vsRow != nullptr ? vsRow->failingStep : kSteps,
                                psRow != nullptr ? psRow->failingStep : kSteps);
  if (vs.shader == nullptr || ps.shader == nullptr) {
    EXPECT_LT(expected, kDraw) << "a shader of the pair was not created:\n" << vs.message << ps.message;
    return;
  }

  IDirect3DDevice9* device = CorpusEnvironment::device;
  const Quad quad = MakeQuad(vs.glsl);
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(quad.elements.data(), &decl), D3D_OK);
  const UINT bytes = static_cast<UINT>(quad.data.size() * sizeof(float));
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  void* p = nullptr;
  if (SUCCEEDED(vb->Lock(0, 0, &p, 0))) {
    std::memcpy(p, quad.data.data(), bytes);
    vb->Unlock();
  }
  device->BeginScene();
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetVertexShader(static_cast<IDirect3DVertexShader9*>(vs.shader));
  device->SetPixelShader(static_cast<IDirect3DPixelShader9*>(ps.shader));
  device->SetVertexDeclaration(decl);
  device->SetStreamSource(0, vb, 0, quad.stride);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  for (DWORD stage = 0; stage < 8; ++stage) {
    device->SetTexture(stage, CorpusEnvironment::texture);
    device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  }
  SetConstants(device);
  // Drawn first with the states of a program variant (alpha test, flat
  // colours, sRGB reads and writes: the GLSL translated for them links too),
  // then plainly, the frame looked at.
  const DWORD variantStates[][2] = {{D3DRS_ALPHATESTENABLE, TRUE}, {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
                                    {D3DRS_SHADEMODE, D3DSHADE_FLAT}, {D3DRS_SRGBWRITEENABLE, TRUE}};
  for (const auto& rs : variantStates) device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(rs[0]), rs[1]);
  for (DWORD stage = 0; stage < 8; ++stage) device->SetSamplerState(stage, D3DSAMP_SRGBTEXTURE, TRUE);
  const HRESULT drawnVariant = device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
  device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  device->SetRenderState(D3DRS_SRGBWRITEENABLE, FALSE);
  for (DWORD stage = 0; stage < 8; ++stage) device->SetSamplerState(stage, D3DSAMP_SRGBTEXTURE, FALSE);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  const HRESULT drawn = device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
  ++CorpusEnvironment::frames;
  for (DWORD stage = 0; stage < 8; ++stage) device->SetTexture(stage, nullptr);
  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);
  device->SetVertexDeclaration(nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
  decl->Release();

  if (SUCCEEDED(drawn)) ++g_tally.linked;
  if (expected == kDraw) {
    EXPECT_TRUE(FAILED(drawn)) << "the draw should be refused";
    if (FAILED(drawn)) ++g_tally.expectedFailures;
    return;
  }
  EXPECT_EQ(drawn, D3D_OK) << "draw refused (the GL program does not link?)";
  EXPECT_EQ(drawnVariant, drawn) << "the render-state variant of the pair does not draw as the plain one";
  if (!pair.look || FAILED(drawn)) return;

  ++g_tally.looked;
  const Image img = CapturedFrame(CorpusEnvironment::captureDir, CorpusEnvironment::frames);
  ASSERT_GT(img.width, 0);
  // Not blank, and not one colour: the gradient shows through.
  int lit = 0;
  std::set<int> reds, greens;
  for (int y = 4; y < kSize - 4; y += 4) {
    for (int x = 4; x < kSize - 4; x += 4) {
      if (!img.Black(x, y)) ++lit;
      reds.insert(img.At(x, y)[0] / 16);
      greens.insert(img.At(x, y)[1] / 16);
    }
  }
  const bool plausible = lit > 100 && reds.size() > 3 && greens.size() > 3;
  if (plausible) ++g_tally.plausible;
  EXPECT_TRUE(plausible) << lit << " lit samples, " << reds.size() << " reds, " << greens.size() << " greens";
  if (kCopies.count(pair.name) == 0) return;
  // The texture itself, as Direct3D 9 samples it: pixel x's centre is at
  // u = x / 64, halfway between texels x - 1 and x.
  for (int y = 4; y < kSize - 4; y += 8) {
    for (int x = 4; x < kSize - 4; x += 8) {
      const uint8_t* p = img.At(x, y);
      EXPECT_NEAR(p[0], 4 * x - 2, 3) << x << "," << y;
      EXPECT_NEAR(p[1], 4 * y - 2, 3) << x << "," << y;
      EXPECT_NEAR(p[2], 128, 3) << x << "," << y;
    }
  }
}

// The constant table of every shader that compiles, as ID3DXConstantTable
// reports it (structs' members and arrays' elements included, default
// values in hex), against tests/hlsl/corpus/constant_tables.txt: a change to
// the compiler's front end must leave the tables as they are.
// OSTREVIN_UPDATE_CONSTANT_TABLES=1 writes the file instead.
void DumpConstant(ID3DXConstantTable* table, D3DXHANDLE handle, const std::string& indent, std::ostream& out) {
  D3DXCONSTANT_DESC desc[4];
  UINT count = 4;
  if (FAILED(table->GetConstantDesc(handle, desc, &count)) || count == 0) {
    out << indent << "(no description)\n";
    return;
  }
  for (UINT k = 0; k < count; ++k) {
    const D3DXCONSTANT_DESC& d = desc[k];
    out << indent << (d.Name != nullptr ? d.Name : "(null)") << " set " << d.RegisterSet << " reg " << d.RegisterIndex
        << " count " << d.RegisterCount << " class " << d.Class << " type " << d.Type << " " << d.Rows << "x"
        << d.Columns << " elements " << d.Elements << " members " << d.StructMembers << " bytes " << d.Bytes;
    if (d.DefaultValue != nullptr) {
      out << " default";
      const uint8_t* bytes = static_cast<const uint8_t*>(d.DefaultValue);
      char hex[4];
      for (UINT b = 0; b < d.Bytes; ++b) {
        std::snprintf(hex, sizeof(hex), b % 4 == 0 ? " %02x" : "%02x", bytes[b]);
        out << hex;
      }
    }
    out << "\n";
  }
  const D3DXCONSTANT_DESC& d = desc[0];
  if (d.Elements > 1) {
    for (UINT e = 0; e < d.Elements; ++e) {
      D3DXHANDLE element = table->GetConstantElement(handle, e);
      if (element != nullptr) DumpConstant(table, element, indent + "  ", out);
    }
  } else {
    for (UINT m = 0; m < d.StructMembers; ++m) {
      D3DXHANDLE member = table->GetConstant(handle, m);
      if (member != nullptr) DumpConstant(table, member, indent + "  ", out);
    }
  }
}

TEST(CorpusConstantTables, MatchTheRecordedTables) {
  std::ostringstream dump;
  for (const Row& row : Rows()) {
    const Result& r = Built(row);
    dump << "== " << row.file << " " << row.entry << " " << row.profile << "\n";
    if (r.code.empty()) {
      dump << "(does not compile)\n";
      continue;
    }
    ID3DXConstantTable* table = nullptr;
    if (FAILED(D3DXGetShaderConstantTable(r.code.data(), &table)) || table == nullptr) {
      dump << "(no constant table)\n";
      continue;
    }
    D3DXCONSTANTTABLE_DESC desc;
    table->GetDesc(&desc);
    dump << "version " << std::hex << desc.Version << std::dec << " constants " << desc.Constants << "\n";
    for (UINT i = 0; i < desc.Constants; ++i) DumpConstant(table, table->GetConstant(nullptr, i), "  ", dump);
    table->Release();
  }
  const fs::path expected = fs::path(OSTREVIN_CORPUS_DIR) / "constant_tables.txt";
  const char* update = std::getenv("OSTREVIN_UPDATE_CONSTANT_TABLES");
  if (update != nullptr && std::strcmp(update, "1") == 0) {
    std::ofstream(expected, std::ios::binary) << dump.str();
    return;
  }
  const std::string recorded = ReadFile(expected);
  ASSERT_FALSE(recorded.empty()) << expected << " is missing";
  // Line by line, so that a failure names the first line that differs.
  std::istringstream a(recorded), b(dump.str());
  std::string lineA, lineB;
  for (int line = 1;; ++line) {
    const bool moreA = static_cast<bool>(std::getline(a, lineA)), moreB = static_cast<bool>(std::getline(b, lineB));
    if (!moreA && !moreB) break;
    ASSERT_EQ(moreA ? lineA : "(end)", moreB ? lineB : "(end)") << "constant_tables.txt line " << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusPair, ::testing::ValuesIn(MakePairs()),
                         [](const ::testing::TestParamInfo<Pair>& info) { return TestName(info.param.name); });

}  // namespace
