// Direct3D 9's meaning of draws, vertex formats, constants and render states
// on the OpenGL device under Xvfb: what reaches the shaders and the pixels,
// and what is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <d3dx9.h>

#include "LiveObjects.h"
#include "support/FrameCapture.h"
#include "support/QuadKit.h"
#include "support/TestDevice.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 64;

using quadkit::kElements;
using quadkit::SafeRelease;
using quadkit::Vertex;

constexpr const char* kPassVs = quadkit::kPassThroughVs;
const char kColourPs[] = "float4 main(float4 c : COLOR0) : COLOR0 { return c; }\n";

// Screen position (Direct3D pixel coordinates) to clip space.
Vertex At(float sx, float sy, D3DCOLOR color = 0xFFFFFFFF, float u = 0, float v = 0) {
  return {2.0f * sx / kSize - 1.0f, 1.0f - 2.0f * sy / kSize, 0.5f, 1.0f, color, u, v, 0, 0};
}

// Two triangles covering the rectangle, as a list.
std::vector<Vertex> Rect(float x0, float y0, float x1, float y1, D3DCOLOR c = 0xFFFFFFFF, float u0 = 0,
                         float u1 = 0) {
  return {At(x0, y0, c, u0), At(x1, y0, c, u1), At(x1, y1, c, u1),
          At(x0, y0, c, u0), At(x1, y1, c, u1), At(x0, y1, c, u0)};
}

// A device with a 64x64 back buffer captured at every Present; each test
// runs in its own process, so the capture switches are set here.
class DrawSemanticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs the Xvfb display of ./test.sh";
    std::string frames = "1";
    for (int i = 2; i <= 24; ++i) frames += "," + std::to_string(i);
    m_dir = StartCapture("ostrevin-draw-", frames);

    ASSERT_EQ(m_test.Open(L"DrawSemanticsTest", 300, 300, kSize, kSize), nullptr);
    ASSERT_EQ(m_device->CreateVertexDeclaration(kElements, &m_decl), D3D_OK);
  }

  void TearDown() override {
    for (IUnknown* object : m_objects) object->Release();
    SafeRelease(m_decl);
    SafeRelease(m_device);
    SafeRelease(m_test.d3d);
    EXPECT_EQ(ostrevin::LiveObjects(), 0);
    m_test.Close();
    fs::remove_all(m_dir);
  }

  // Compiled and created; released at the end of the test.
  IDirect3DVertexShader9* Vs(const char* source) {
    IDirect3DVertexShader9* vs = quadkit::CreateVertexShader(m_device, source, "vs_3_0");
    if (vs != nullptr) m_objects.push_back(vs);
    return vs;
  }
  IDirect3DPixelShader9* Ps(const std::string& source) {
    IDirect3DPixelShader9* ps = quadkit::CreatePixelShader(m_device, source.c_str(), "ps_3_0");
    if (ps != nullptr) m_objects.push_back(ps);
    return ps;
  }

  IDirect3DVertexBuffer9* Buffer(const void* data, size_t bytes) {
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(m_device->CreateVertexBuffer(static_cast<UINT>(bytes), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb,
                                           nullptr),
              D3D_OK);
    EXPECT_EQ(quadkit::Fill(vb, data, bytes), D3D_OK);
    m_objects.push_back(vb);
    return vb;
  }
  template <typename T>
  IDirect3DVertexBuffer9* Buffer(const std::vector<T>& v) {
    return Buffer(v.data(), v.size() * sizeof(T));
  }

  // Shaders, the standard declaration and stream 0; culling off; the scene begun and cleared.
  void Begin(IDirect3DVertexShader9* vs, IDirect3DPixelShader9* ps, IDirect3DVertexBuffer9* vb = nullptr) {
    m_device->BeginScene();
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
    m_device->SetVertexShader(vs);
    m_device->SetPixelShader(ps);
    m_device->SetVertexDeclaration(m_decl);
    if (vb != nullptr) m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  }

  Image Present() {
    m_device->EndScene();
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    return CapturedFrame(m_dir, ++m_frame);
  }

  fs::path m_dir;
  TestDevice m_test;
  IDirect3DDevice9*& m_device = m_test.device;
  IDirect3DVertexDeclaration9* m_decl = nullptr;
  std::vector<IUnknown*> m_objects;
  unsigned m_frame = 0;
};

::testing::AssertionResult Near(const uint8_t* p, int r, int g, int b, int tolerance = 2) {
  if (std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel " << int(p[0]) << "," << int(p[1]) << "," << int(p[2])
                                       << " expected " << r << "," << g << "," << b;
}

// ---------------------------------------------------------------- drawing

TEST_F(DrawSemanticsTest, DrawPrimitiveDrawsEveryPrimitiveTypeFromTheStartVertex) {
  const D3DCOLOR w = 0xFFFFFFFF;
  struct Case {
    D3DPRIMITIVETYPE type;
    UINT count;
    std::vector<Vertex> vertices;  // after one unused vertex, so StartVertex is 1
    std::vector<std::pair<int, int>> lit, dark;
  } cases[] = {
      {D3DPT_POINTLIST, 2, {At(10, 10, w), At(20, 12, w)}, {{10, 10}, {20, 12}}, {{11, 10}, {15, 11}}},
      {D3DPT_LINELIST, 1, {At(4, 30, w), At(40, 30, w)}, {{5, 30}, {20, 30}, {39, 30}}, {{20, 32}, {45, 30}}},
      {D3DPT_LINESTRIP, 2, {At(10, 5, w), At(10, 40, w), At(40, 40, w)}, {{10, 20}, {25, 40}}, {{25, 20}}},
      {D3DPT_TRIANGLELIST, 1, {At(0, 0, w), At(64, 0, w), At(0, 64, w)}, {{5, 5}, {30, 20}}, {{50, 50}}},
      {D3DPT_TRIANGLESTRIP, 2, {At(8, 8, w), At(56, 8, w), At(8, 56, w), At(56, 56, w)}, {{10, 50}, {50, 10}, {50, 50}},
       {{4, 4}, {60, 60}}},
      {D3DPT_TRIANGLEFAN, 3, {At(32, 32, w), At(8, 8, w), At(56, 8, w), At(56, 56, w), At(8, 56, w)},
       {{32, 12}, {52, 32}, {32, 52}}, {{12, 32}, {4, 4}}},
  };
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  for (const Case& c : cases) {
    std::vector<Vertex> v = {At(-100, -100, 0)};
    v.insert(v.end(), c.vertices.begin(), c.vertices.end());
    Begin(vs, ps, Buffer(v));
    EXPECT_EQ(m_device->DrawPrimitive(c.type, 1, c.count), D3D_OK) << c.type;
    const Image img = Present();
    for (auto [x, y] : c.lit) EXPECT_TRUE(Near(img.At(x, y), 255, 255, 255)) << "type " << c.type << " at " << x << "," << y;
    for (auto [x, y] : c.dark) EXPECT_TRUE(Near(img.At(x, y), 0, 0, 0)) << "type " << c.type << " at " << x << "," << y;
  }
}

// D3DRS_LASTPIXEL (TRUE by default) draws the pixel at the end of each line,
// unindexed and indexed; FALSE leaves it out. Additive blending shows that
// no pixel is drawn twice.
TEST_F(DrawSemanticsTest, LastPixelStateDrawsTheEndOfEachLine) {
  const D3DCOLOR grey = 0xFF606060;
  // Two lines along rows 10 and 20, ending at x = 40 and x = 30; the strip
  // turns at (40, 30) and ends at (40, 50).
  const std::vector<Vertex> list = {At(4, 10, grey), At(40, 10, grey), At(4, 20, grey), At(30, 20, grey)};
  const std::vector<Vertex> strip = {At(4, 30, grey), At(40, 30, grey), At(40, 50, grey)};
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(m_device->CreateIndexBuffer(4 * sizeof(WORD), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  m_objects.push_back(ib);
  void* p = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
  const WORD indices[] = {0, 1, 2, 3};
  std::memcpy(p, indices, sizeof(indices));
  ib->Unlock();
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  IDirect3DVertexBuffer9* listBuffer = Buffer(list);
  IDirect3DVertexBuffer9* stripBuffer = Buffer(strip);
  EXPECT_EQ(m_device->SetRenderState(D3DRS_LASTPIXEL, TRUE), D3D_OK);
  for (const bool indexed : {false, true}) {
    for (const DWORD lastPixel : {TRUE, FALSE}) {
      Begin(vs, ps, listBuffer);
      m_device->SetRenderState(D3DRS_LASTPIXEL, lastPixel);
      m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
      m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
      m_device->SetRenderState(D3DRS_POINTSIZE, 0x40800000 /* 4.0f: not for the last pixels */);
      if (indexed) {
        m_device->SetIndices(ib);
        EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_LINELIST, 0, 0, 4, 0, 2), D3D_OK);
      } else {
        EXPECT_EQ(m_device->DrawPrimitive(D3DPT_LINELIST, 0, 2), D3D_OK);
      }
      m_device->SetStreamSource(0, stripBuffer, 0, sizeof(Vertex));
      if (indexed) {
        EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_LINESTRIP, 0, 0, 3, 0, 2), D3D_OK);
      } else {
        EXPECT_EQ(m_device->DrawPrimitive(D3DPT_LINESTRIP, 0, 2), D3D_OK);
      }
      m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
      m_device->SetRenderState(D3DRS_POINTSIZE, 0x3F800000);
      const Image img = Present();
      const int end = lastPixel ? 0x60 : 0;
      const std::string what = std::string(indexed ? "indexed" : "unindexed") + (lastPixel ? ", last pixel" : "");
      for (auto [x, y] : {std::pair{4, 10}, {39, 10}, {29, 20}, {40, 30}, {40, 49}})
        EXPECT_TRUE(Near(img.At(x, y), 0x60, 0x60, 0x60)) << what << " at " << x << "," << y;
      for (auto [x, y] : {std::pair{40, 10}, {30, 20}, {40, 50}})
        EXPECT_TRUE(Near(img.At(x, y), end, end, end)) << what << " at " << x << "," << y;
      for (auto [x, y] : {std::pair{41, 10}, {42, 10}, {31, 20}, {40, 51}, {41, 51}})
        EXPECT_TRUE(Near(img.At(x, y), 0, 0, 0)) << what << " at " << x << "," << y;
    }
  }
}

TEST_F(DrawSemanticsTest, DrawPrimitiveRefusesBadCallsAndDrawsNothingForNoPrimitives) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  Begin(vs, ps, Buffer(Rect(0, 0, 64, 64)));
  EXPECT_EQ(m_device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(0), 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(7), 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3D_OK);
  // Vertices past the end of the buffer (six vertices in it).
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 5), D3DERR_INVALIDCALL);
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(m_device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  m_objects.push_back(ib);
  m_device->SetIndices(ib);
  EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 7, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 0, 6, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 6, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 1, 2), D3DERR_INVALIDCALL);  // indices
  EXPECT_EQ(m_device->SetStreamSource(16, nullptr, 0, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->SetStreamSource(0, nullptr, 0, 0), D3D_OK);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);  // stream 0 unset
  m_device->SetVertexDeclaration(nullptr);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_TRUE(Near(Present().At(32, 32), 0, 0, 0));
}

// The declaration's Stream fields choose the buffers; stride 0 gives every
// vertex the stream's first element.
TEST_F(DrawSemanticsTest, ElementsComeFromTheirStreamsAndStrideZeroRepeatsOneElement) {
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      {15, 4, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
      {3, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      D3DDECL_END(),
  };
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(m_device->CreateVertexDeclaration(elements, &decl), D3D_OK);
  m_objects.push_back(decl);
  const float positions[] = {-1, 1, 0.5f, 1, 1, 1, 0.5f, 1, -1, -1, 0.5f, 1, 1, -1, 0.5f, 1};  // a strip
  // Stream 15: 8-byte vertices, the colour at offset 4; the left pair red, the right pair blue.
  const DWORD colours[] = {0, 0xFFFF0000, 0, 0xFF0000FF, 0, 0xFFFF0000, 0, 0xFF0000FF};
  const float green[] = {0, 1, 0, 0};
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps("float4 main(float4 c : COLOR0, float4 t : TEXCOORD0) : COLOR0 { return c + t; }");
  Begin(vs, ps);
  m_device->SetVertexDeclaration(decl);
  m_device->SetStreamSource(0, Buffer(positions, sizeof(positions)), 0, 16);
  m_device->SetStreamSource(15, Buffer(colours, sizeof(colours)), 0, 8);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);  // stream 3 unset
  m_device->SetStreamSource(3, Buffer(green, sizeof(green)), 0, 0);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  const Image img = Present();
  EXPECT_TRUE(Near(img.At(1, 32), 255, 255, 0, 12));  // red + green at the left edge
  EXPECT_TRUE(Near(img.At(62, 32), 0, 255, 255, 12)); // blue + green at the right
  EXPECT_TRUE(Near(img.At(32, 32), 128, 255, 128, 12));
}

// The usages without a fixed attribute location reach the shader where it
// takes them: each column shows one input. The declaration also carries FOG,
// which no shader reads; BLENDWEIGHT1 has no element and reads (0, 0, 0, 1).
// The last column draws with a second shader that reads PSIZE alone, at
// another location, with the same declaration and streams.
TEST_F(DrawSemanticsTest, EveryUsageReachesTheShaderWhereItTakesIt) {
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      {0, 16, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_FOG, 0},
      {0, 20, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDINDICES, 0},
      {0, 24, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
      {0, 40, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 3},
      {0, 48, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_PSIZE, 0},
      D3DDECL_END(),
  };
  struct In {
    float x, y, z, w, fog;
    uint8_t indices[4];
    float weights[4], uv[2], size;
  };
  static_assert(sizeof(In) == 52);
  auto at = [](float x, float y) {
    return In{x, y, 0.5f, 1, 9, {51, 102, 153, 255}, {0.25f, 0.5f, 0.75f, 1}, {0.6f, 0.9f}, 0.3f};
  };
  const std::vector<In> quad = {at(-1, 1), at(1, 1), at(-1, -1), at(1, -1)};
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(m_device->CreateVertexDeclaration(elements, &decl), D3D_OK);
  m_objects.push_back(decl);
  IDirect3DVertexShader9* all = Vs(
      "struct O { float4 p : POSITION; float4 t0 : TEXCOORD0; float4 t1 : TEXCOORD1; float4 t2 : TEXCOORD2;\n"
      "           float4 t3 : TEXCOORD3; };\n"
      "O main(float4 p : POSITION, float4 w : BLENDWEIGHT0, float4 i : BLENDINDICES, float s : PSIZE,\n"
      "       float2 uv : TEXCOORD3, float4 none : BLENDWEIGHT1) {\n"
      "  O o; o.p = p; o.t0 = w; o.t1 = i / 255; o.t2 = float4(s, uv, 1); o.t3 = none.xyww; return o;\n"
      "}\n");
  IDirect3DVertexShader9* sizeOnly = Vs(
      "struct O { float4 p : POSITION; float4 t0 : TEXCOORD0; };\n"
      "O main(float4 p : POSITION, float s : PSIZE) { O o; o.p = p; o.t0 = float4(s, s, s, 1); return o; }\n");
  IDirect3DPixelShader9* ps[4];
  for (int i = 0; i < 4; ++i)
    ps[i] = Ps("float4 main(float4 t : TEXCOORD" + std::to_string(i) + ") : COLOR0 { return float4(t.xyz, 1); }");
  Begin(all, ps[0]);
  m_device->SetVertexDeclaration(decl);
  m_device->SetStreamSource(0, Buffer(quad), 0, sizeof(In));
  for (int column = 0; column < 5; ++column) {
    const D3DVIEWPORT9 viewport = {static_cast<DWORD>(12 * column), 0, 12, 64, 0, 1};
    m_device->SetViewport(&viewport);
    if (column == 4) m_device->SetVertexShader(sizeOnly);
    m_device->SetPixelShader(ps[column == 4 ? 0 : column]);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK) << column;
  }
  const Image img = Present();
  EXPECT_TRUE(Near(img.At(6, 32), 64, 128, 191)) << "BLENDWEIGHT0";
  EXPECT_TRUE(Near(img.At(18, 32), 51, 102, 153)) << "BLENDINDICES as UBYTE4";
  EXPECT_TRUE(Near(img.At(30, 32), 77, 153, 230)) << "PSIZE and TEXCOORD3";
  EXPECT_TRUE(Near(img.At(42, 32), 0, 0, 255)) << "BLENDWEIGHT1, no element";
  EXPECT_TRUE(Near(img.At(54, 32), 77, 77, 77)) << "PSIZE alone, another shader";
}

// ---------------------------------------------------------- vertex formats

// Each type, given as TEXCOORD0 from stream 1, against the value Direct3D 9
// documents for it; the pixel shader shows (value - expected) * 1000 + 0.5,
// x, y, z on the left half and w on the right.
TEST_F(DrawSemanticsTest, EveryDeclarationTypeReachesTheShaderWithDirect3DValues) {
  auto half = [](float f) -> uint16_t {  // exact for the values below
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    if (f == 0) return 0;
    const uint32_t sign = (bits >> 16) & 0x8000, exponent = ((bits >> 23) & 0xff) - 127 + 15;
    return static_cast<uint16_t>(sign | (exponent << 10) | ((bits >> 13) & 0x3ff));
  };
  struct Case {
    D3DDECLTYPE type;
    std::vector<uint8_t> bytes;
    float expected[4];
  };
  auto bytes = [](auto... values) {
    std::vector<uint8_t> out;
    auto add = [&](auto v) {
      const size_t at = out.size();
      out.resize(at + sizeof(v));
      std::memcpy(out.data() + at, &v, sizeof(v));
    };
    (add(values), ...);
    return out;
  };
  const Case cases[] = {
      {D3DDECLTYPE_FLOAT1, bytes(0.25f), {0.25f, 0, 0, 1}},
      {D3DDECLTYPE_FLOAT2, bytes(0.25f, -0.5f), {0.25f, -0.5f, 0, 1}},
      {D3DDECLTYPE_FLOAT3, bytes(0.25f, -0.5f, 3.0f), {0.25f, -0.5f, 3, 1}},
      {D3DDECLTYPE_FLOAT4, bytes(0.25f, -0.5f, 3.0f, 7.0f), {0.25f, -0.5f, 3, 7}},
      {D3DDECLTYPE_D3DCOLOR, bytes(uint32_t{0x40FF8000}), {1, 128 / 255.0f, 0, 64 / 255.0f}},  // ARGB in, RGBA out
      {D3DDECLTYPE_UBYTE4, bytes(uint8_t{1}, uint8_t{2}, uint8_t{200}, uint8_t{255}), {1, 2, 200, 255}},
      {D3DDECLTYPE_UBYTE4N, bytes(uint8_t{0}, uint8_t{51}, uint8_t{102}, uint8_t{255}), {0, 0.2f, 0.4f, 1}},
      {D3DDECLTYPE_SHORT2, bytes(int16_t{-3}, int16_t{300}), {-3, 300, 0, 1}},
      {D3DDECLTYPE_SHORT4, bytes(int16_t{-3}, int16_t{300}, int16_t{0}, int16_t{-32768}), {-3, 300, 0, -32768}},
      {D3DDECLTYPE_SHORT2N, bytes(int16_t{0}, int16_t{32767}), {0, 1, 0, 1}},
      {D3DDECLTYPE_SHORT4N, bytes(int16_t{-32767}, int16_t{16384}, int16_t{0}, int16_t{32767}),
       {-1, 16384 / 32767.0f, 0, 1}},
      {D3DDECLTYPE_USHORT2N, bytes(uint16_t{65535}, uint16_t{0}), {1, 0, 0, 1}},
      {D3DDECLTYPE_USHORT4N, bytes(uint16_t{0}, uint16_t{13107}, uint16_t{32768}, uint16_t{65535}),
       {0, 0.2f, 32768 / 65535.0f, 1}},
      {D3DDECLTYPE_FLOAT16_2, bytes(half(1.5f), half(-2.0f)), {1.5f, -2, 0, 1}},
      {D3DDECLTYPE_FLOAT16_4, bytes(half(1.5f), half(-2.0f), half(0.25f), half(0.0f)), {1.5f, -2, 0.25f, 0}},
  };
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(
      "float4 expected : register(c0); float wOnly : register(c1);\n"
      "float4 main(float4 t : TEXCOORD0) : COLOR0 {\n"
      "  float4 d = (t - expected) * 1000 + 0.5;\n"
      "  return float4(lerp(d.xyz, d.www, wOnly), 1);\n"
      "}\n");
  const float positions[] = {-1, 1, 0.5f, 1, 1, 1, 0.5f, 1, -1, -1, 0.5f, 1, 1, -1, 0.5f, 1};
  for (const Case& c : cases) {
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 4, static_cast<BYTE>(c.type), D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(m_device->CreateVertexDeclaration(elements, &decl), D3D_OK) << c.type;
    m_objects.push_back(decl);
    // Four 20-byte vertices, each with the element at offset 4.
    std::vector<uint8_t> all(80, 0xEE);
    for (size_t i = 0; i < 4; ++i) std::memcpy(&all[20 * i + 4], c.bytes.data(), c.bytes.size());
    Begin(vs, ps);
    m_device->SetVertexDeclaration(decl);
    m_device->SetStreamSource(0, Buffer(positions, sizeof(positions)), 0, 16);
    m_device->SetStreamSource(1, Buffer(all.data(), all.size()), 0, 20);
    m_device->SetPixelShaderConstantF(0, c.expected, 1);
    D3DVIEWPORT9 left = {0, 0, 32, 64, 0, 1}, right = {32, 0, 32, 64, 0, 1};
    const float zero[4] = {0, 0, 0, 0}, one[4] = {1, 0, 0, 0};
    m_device->SetViewport(&left);
    m_device->SetPixelShaderConstantF(1, zero, 1);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    m_device->SetViewport(&right);
    m_device->SetPixelShaderConstantF(1, one, 1);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    const Image img = Present();
    EXPECT_TRUE(Near(img.At(16, 32), 128, 128, 128, 3)) << "x, y, z of type " << int(c.type);
    EXPECT_TRUE(Near(img.At(48, 32), 128, 128, 128, 3)) << "w of type " << int(c.type);
  }
}

TEST_F(DrawSemanticsTest, DeclarationsThatCannotReachAShaderAreRefused) {
  const D3DVERTEXELEMENT9 position = {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0};
  const D3DVERTEXELEMENT9 refused[] = {
      {0, 16, D3DDECLTYPE_UDEC3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      {0, 16, D3DDECLTYPE_DEC3N, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      {0, 16, D3DDECLTYPE_UNUSED, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      {0, 16, 40, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      {16, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_UV, D3DDECLUSAGE_TEXCOORD, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_SAMPLE + 1, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, MAXD3DDECLUSAGEINDEX + 1},
      {1, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},  // twice
  };
  // Every usage Direct3D 9 declares, whether or not a shader reads it.
  const D3DVERTEXELEMENT9 accepted[] = {
      {0, 16, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_PSIZE, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 8},
      {0, 16, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDINDICES, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 1},
      {0, 16, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TESSFACTOR, 0},
      {0, 16, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_FOG, 0},
      {0, 16, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_DEPTH, 0},
      {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_SAMPLE, MAXD3DDECLUSAGEINDEX},
  };
  for (const D3DVERTEXELEMENT9& e : accepted) {
    const D3DVERTEXELEMENT9 elements[] = {position, e, D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    EXPECT_EQ(m_device->CreateVertexDeclaration(elements, &decl), D3D_OK)
        << "usage " << int(e.Usage) << " index " << int(e.UsageIndex);
    if (decl != nullptr) decl->Release();
  }
  for (const D3DVERTEXELEMENT9& e : refused) {
    const D3DVERTEXELEMENT9 elements[] = {position, e, D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = reinterpret_cast<IDirect3DVertexDeclaration9*>(1);
    EXPECT_EQ(m_device->CreateVertexDeclaration(elements, &decl), D3DERR_INVALIDCALL)
        << "type " << int(e.Type) << " usage " << int(e.Usage) << " stream " << e.Stream;
    EXPECT_EQ(decl, nullptr);
  }
}

// ---------------------------------------------------------------- constants

// Every matrix shape, either order, set register by register as Direct3D 9
// lays it out: column_major puts column j in register j, row_major row i in
// register i. The shader shows element k = row * columns + column, valued
// k + 1, in a 4-pixel band of its own.
TEST_F(DrawSemanticsTest, MatrixConstantsArriveAsDirect3DLaysThemOut) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  for (const char* order : {"column_major", "row_major"}) {
    for (auto [rows, columns] : {std::pair{2, 2}, {3, 3}, {4, 3}, {3, 4}, {4, 4}, {2, 4}, {4, 2}, {2, 3}}) {
      std::string source = std::string(order) + " float" + std::to_string(rows) + "x" + std::to_string(columns) +
                           " m : register(c2);\nfloat4 main(float4 t : TEXCOORD0) : COLOR0 {\n  float v = 0;\n";
      for (int k = 0; k < rows * columns; ++k)
        source += "  " + std::string(k ? "else " : "") + "if (t.x < " + std::to_string(k + 1) + ") v = m[" +
                  std::to_string(k / columns) + "][" + std::to_string(k % columns) + "];\n";
      source += "  return float4(v / 16, 0, 0, 1);\n}\n";
      IDirect3DPixelShader9* ps = Ps(source);
      ASSERT_NE(ps, nullptr) << source;
      float regs[4][4] = {};
      const bool rowMajor = std::string(order) == "row_major";
      for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
          const float value = static_cast<float>(i * columns + j + 1);
          if (rowMajor) regs[i][j] = value;
          else regs[j][i] = value;
        }
      Begin(vs, ps, Buffer(Rect(0, 0, 64, 64, 0, 0, 16)));
      m_device->SetPixelShaderConstantF(2, &regs[0][0], rowMajor ? rows : columns);
      EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
      const Image img = Present();
      for (int k = 0; k < rows * columns; ++k) {
        const int expected = static_cast<int>(std::lround((k + 1) * 255.0 / 16));
        EXPECT_NEAR(img.At(4 * k + 2, 32)[0], expected, 2)
            << order << " float" << rows << "x" << columns << " element " << k / columns << "," << k % columns;
      }
    }
  }
}

// An array of float3x3 in the vertex stage: element 1 from the registers
// after element 0's three, each column in a register.
TEST_F(DrawSemanticsTest, MatrixArrayConstantsReachTheVertexShader) {
  IDirect3DVertexShader9* vs = Vs(
      "float3x3 m[2] : register(c4);\n"
      "struct V { float4 p : POSITION; float4 c : COLOR0; };\n"
      "V main(float4 p : POSITION) { V o; o.p = p; o.c = float4(mul(float3(1, 0, 0), m[1]), 1); return o; }\n");
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  const float regs[6][4] = {{1, 1, 1, 0}, {1, 1, 1, 0}, {1, 1, 1, 0},  // m[0]
                            {0.125f, 0, 0, 0}, {0.25f, 0, 0, 0}, {0.5f, 0, 0, 0}};  // m[1]: row 0 is (1/8, 1/4, 1/2)
  Begin(vs, ps, Buffer(Rect(0, 0, 64, 64)));
  m_device->SetVertexShaderConstantF(4, &regs[0][0], 6);
  EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
  EXPECT_TRUE(Near(Present().At(32, 32), 32, 64, 128));
}

// A bool deciding an `if` (b0), an int counting a loop (i0), a bool read as
// a float (c0) and a struct's int member (c5) change the pixel.
TEST_F(DrawSemanticsTest, BoolIntAndStructConstantsReachTheShader) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(
      "bool b;\nint n;\nbool bf : register(c0);\nstruct S { float a; int k; };\nS s : register(c4);\n"
      "float4 main(float4 t : TEXCOORD0) : COLOR0 {\n"
      "  float4 c = float4(0, 0, 0, 1);\n"
      "  if (b) c.r = 1;\n"
      "  for (int i = 0; i < n; i++) c.g += 0.25;\n"
      "  c.b = (bf ? 0.5 : 0) + s.a * s.k;\n"
      "  return c;\n}\n");
  ASSERT_NE(ps, nullptr);
  struct Case {
    BOOL b;
    int n;
    float bf, a, k;
    int r, g, bl;
  } cases[] = {
      {FALSE, 0, 0, 0, 0, 0, 0, 0},   {TRUE, 0, 0, 0, 0, 255, 0, 0}, {2, 2, 0, 0, 0, 255, 128, 0},
      {FALSE, 4, 1, 0, 0, 0, 255, 128}, {FALSE, 1, 0, 0.125f, 2, 0, 64, 64},
  };
  for (const Case& c : cases) {
    Begin(vs, ps, Buffer(Rect(0, 0, 64, 64)));
    const int loop[4] = {c.n, 0, 1, 0};
    const float bf[4] = {c.bf, 0, 0, 0}, member[2][4] = {{c.a, 0, 0, 0}, {c.k, 0, 0, 0}};
    EXPECT_EQ(m_device->SetPixelShaderConstantB(0, &c.b, 1), D3D_OK);
    EXPECT_EQ(m_device->SetPixelShaderConstantI(0, loop, 1), D3D_OK);
    EXPECT_EQ(m_device->SetPixelShaderConstantF(0, bf, 1), D3D_OK);
    EXPECT_EQ(m_device->SetPixelShaderConstantF(4, member[0], 2), D3D_OK);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_TRUE(Near(Present().At(32, 32), c.r, c.g, c.bl)) << "b " << c.b << " n " << c.n;
  }
}

// Bool and int registers: 16 of each per stage, read back as set.
TEST_F(DrawSemanticsTest, BoolAndIntRegistersTakeSixteenEach) {
  const int ints[8] = {1, -2, 3, 4, 5, 6, 7, 8};
  const BOOL bools[2] = {TRUE, 7};
  struct Case {
    UINT start, count;
    HRESULT hr;
  } cases[] = {{0, 2, D3D_OK}, {14, 2, D3D_OK}, {16, 0, D3D_OK}, {15, 2, D3DERR_INVALIDCALL}, {16, 1, D3DERR_INVALIDCALL},
               {0xFFFFFFFFu, 2, D3DERR_INVALIDCALL}};
  for (const Case& c : cases) {
    EXPECT_EQ(m_device->SetVertexShaderConstantI(c.start, ints, c.count), c.hr) << c.start << "+" << c.count;
    EXPECT_EQ(m_device->SetPixelShaderConstantI(c.start, ints, c.count), c.hr) << c.start << "+" << c.count;
    EXPECT_EQ(m_device->SetVertexShaderConstantB(c.start, bools, c.count), c.hr) << c.start << "+" << c.count;
    EXPECT_EQ(m_device->SetPixelShaderConstantB(c.start, bools, c.count), c.hr) << c.start << "+" << c.count;
  }
  EXPECT_EQ(m_device->SetVertexShaderConstantI(0, nullptr, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->SetPixelShaderConstantB(0, nullptr, 1), D3DERR_INVALIDCALL);
  int gotInts[8] = {};
  BOOL gotBools[2] = {};
  EXPECT_EQ(m_device->GetVertexShaderConstantI(14, gotInts, 2), D3D_OK);
  EXPECT_EQ(std::memcmp(gotInts, ints, sizeof(ints)), 0);
  EXPECT_EQ(m_device->GetPixelShaderConstantB(14, gotBools, 2), D3D_OK);
  EXPECT_EQ(gotBools[1], 7);  // kept as given
  EXPECT_EQ(m_device->GetPixelShaderConstantI(15, gotInts, 2), D3DERR_INVALIDCALL);
}

// The device has only 2-D textures: a draw whose shader reads a volume or
// cube sampler is refused, one reading 1-D and 2-D samplers is not.
TEST_F(DrawSemanticsTest, DrawsReadingVolumeOrCubeSamplersAreRefused) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  struct Case {
    const char* source;
    HRESULT hr;
  } cases[] = {
      {"sampler2D s;\nfloat4 main(float4 t : TEXCOORD0) : COLOR0 { return tex2D(s, t.xy); }\n", D3D_OK},
      {"sampler3D s;\nfloat4 main(float4 t : TEXCOORD0) : COLOR0 { return tex3D(s, t.xyz); }\n", D3DERR_INVALIDCALL},
      {"samplerCUBE s;\nfloat4 main(float4 t : TEXCOORD0) : COLOR0 { return texCUBE(s, t.xyz); }\n",
       D3DERR_INVALIDCALL},
      {"sampler s;\nfloat4 main(float4 t : TEXCOORD0) : COLOR0 { return texCUBE(s, t.xyz); }\n", D3DERR_INVALIDCALL},
  };
  for (const Case& c : cases) {
    IDirect3DPixelShader9* ps = Ps(c.source);
    ASSERT_NE(ps, nullptr) << c.source;
    Begin(vs, ps, Buffer(Rect(0, 0, 64, 64)));
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), c.hr) << c.source;
    Present();
  }
}

// ------------------------------------------------------------ render states

TEST_F(DrawSemanticsTest, GetRenderStateGivesTheDocumentedDefaults) {
  auto f = [](float v) {
    DWORD d;
    std::memcpy(&d, &v, 4);
    return d;
  };
  // Every render state Direct3D 9 defines whose default is not 0.
  const std::pair<UINT, DWORD> nonZero[] = {
      {7, D3DZB_TRUE},  // ZENABLE, with the automatic depth-stencil buffer
      {8, D3DFILL_SOLID}, {9, D3DSHADE_GOURAUD}, {14, TRUE}, {16, TRUE}, {19, D3DBLEND_ONE}, {20, D3DBLEND_ZERO},
      {22, D3DCULL_CCW}, {23, D3DCMP_LESSEQUAL}, {25, D3DCMP_ALWAYS}, {37, f(1.0f)}, {38, f(1.0f)}, {53, 1},
      {54, 1}, {55, 1}, {56, D3DCMP_ALWAYS}, {58, 0xFFFFFFFF}, {59, 0xFFFFFFFF}, {60, 0xFFFFFFFF}, {136, TRUE},
      {137, TRUE}, {141, TRUE}, {142, TRUE}, {145, 1}, {146, 2}, {154, f(1.0f)}, {155, f(1.0f)}, {158, f(1.0f)},
      {161, TRUE}, {162, 0xFFFFFFFF}, {166, f(64.0f)}, {168, 0xF}, {171, D3DBLENDOP_ADD}, {172, 3}, {173, 1},
      {178, f(1.0f)}, {179, f(1.0f)}, {182, f(1.0f)}, {186, 1}, {187, 1}, {188, 1}, {189, D3DCMP_ALWAYS},
      {190, 0xF}, {191, 0xF}, {192, 0xF}, {193, 0xFFFFFFFF}, {207, D3DBLEND_ONE}, {208, D3DBLEND_ZERO},
      {209, D3DBLENDOP_ADD},
      {165, 0xBAADCAFE},  // DEBUGMONITORTOKEN: Direct3D 9's own value, not D3DDMT_ENABLE (0)
  };
  const UINT zero[] = {15, 24, 26, 27, 28, 29, 34, 35, 36, 48, 52, 57, 128, 129, 130, 131, 132, 133, 134, 135,
                       139, 140, 143, 147, 148, 151, 152, 156, 157, 159, 160, 163, 167, 170, 174, 175, 176,
                       180, 181, 183, 184, 185, 194, 195, 198, 199, 200, 201, 202, 203, 204, 205, 206};
  DWORD value = 0xDEAD;
  for (auto [state, expected] : nonZero) {
    ASSERT_EQ(m_device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value), D3D_OK) << state;
    EXPECT_EQ(value, expected) << "render state " << state;
  }
  for (UINT state : zero) {
    ASSERT_EQ(m_device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value), D3D_OK) << state;
    EXPECT_EQ(value, 0u) << "render state " << state;
  }
  EXPECT_EQ(m_device->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
  // Numbers Direct3D 9 does not define: 47 was Direct3D 8's ZBIAS.
  for (UINT undefined : {0u, 6u, 47u, 164u, 210u, 255u, 256u}) {
    EXPECT_EQ(m_device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(undefined), &value), D3DERR_INVALIDCALL)
        << undefined;
    EXPECT_EQ(m_device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(undefined), 0), D3DERR_INVALIDCALL)
        << undefined;
  }
  // Direct3D 9's 103 render states, each of which takes its own default back.
  int defined = 0;
  for (UINT state = 0; state < 300; ++state) {
    const D3DRENDERSTATETYPE s = static_cast<D3DRENDERSTATETYPE>(state);
    if (m_device->GetRenderState(s, &value) != D3D_OK) continue;
    ++defined;
    EXPECT_EQ(m_device->SetRenderState(s, value), D3D_OK) << "render state " << state << " refuses its default";
  }
  EXPECT_EQ(defined, 103);
  // Sampler states: all 0 but these, on every sampler.
  const std::pair<D3DSAMPLERSTATETYPE, DWORD> samplerNonZero[] = {
      {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP},
      {D3DSAMP_MAGFILTER, D3DTEXF_POINT},   {D3DSAMP_MINFILTER, D3DTEXF_POINT},   {D3DSAMP_MAXANISOTROPY, 1},
  };
  for (DWORD sampler : {0u, 15u}) {
    for (UINT type = D3DSAMP_ADDRESSU; type <= D3DSAMP_DMAPOFFSET; ++type) {
      DWORD expected = 0;
      for (auto [t, v] : samplerNonZero)
        if (t == type) expected = v;
      ASSERT_EQ(m_device->GetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(type), &value), D3D_OK) << type;
      EXPECT_EQ(value, expected) << "sampler " << sampler << " state " << type;
    }
  }
  for (UINT undefined : {0u, 14u}) {
    EXPECT_EQ(m_device->GetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(undefined), &value), D3DERR_INVALIDCALL)
        << undefined;
  }
}

// Bad enumeration values and features the layer does not have are refused
// and leave the recorded value alone.
TEST_F(DrawSemanticsTest, RenderStatesTheLayerCannotHonourAreRefused) {
  const std::pair<UINT, DWORD> refused[] = {
      {D3DRS_ZENABLE, D3DZB_USEW}, {D3DRS_FILLMODE, 0}, {D3DRS_SHADEMODE, D3DSHADE_PHONG},
      {D3DRS_SRCBLEND, 16}, {D3DRS_DESTBLEND, 0}, {D3DRS_CULLMODE, 4}, {D3DRS_ZFUNC, 9}, {D3DRS_ALPHAFUNC, 0},
      {D3DRS_BLENDOP, 6}, {D3DRS_STENCILFAIL, 9}, {D3DRS_STENCILFUNC, 0}, {D3DRS_BLENDOPALPHA, 0},
      {D3DRS_FOGENABLE, TRUE}, {128, 1} /* WRAP0 */, {205, 1} /* WRAP15 */, {152, 1} /* CLIPPLANEENABLE */,
      {156, TRUE} /* POINTSPRITEENABLE */, {176, TRUE} /* ANTIALIASEDLINEENABLE */,
      {184, TRUE} /* ENABLEADAPTIVETESSELLATION */,
  };
  for (auto [state, value] : refused) {
    const D3DRENDERSTATETYPE s = static_cast<D3DRENDERSTATETYPE>(state);
    DWORD before = 0, after = 0;
    m_device->GetRenderState(s, &before);
    EXPECT_EQ(m_device->SetRenderState(s, value), D3DERR_INVALIDCALL) << "state " << state << " value " << value;
    m_device->GetRenderState(s, &after);
    EXPECT_EQ(after, before) << "state " << state;
  }
  EXPECT_EQ(m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVBLENDFACTOR), D3D_OK);
  const std::pair<D3DSAMPLERSTATETYPE, DWORD> refusedSampler[] = {
      {D3DSAMP_ADDRESSU, 0}, {D3DSAMP_ADDRESSW, 6}, {D3DSAMP_MAGFILTER, 6 /* PYRAMIDALQUAD */},
      {D3DSAMP_MINFILTER, 7 /* GAUSSIANQUAD */}, {D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC},
  };
  for (auto [type, value] : refusedSampler) {
    DWORD before = 0, after = 0;
    m_device->GetSamplerState(0, type, &before);
    EXPECT_EQ(m_device->SetSamplerState(0, type, value), D3DERR_INVALIDCALL) << "sampler state " << type;
    m_device->GetSamplerState(0, type, &after);
    EXPECT_EQ(after, before) << "sampler state " << type;
  }
  EXPECT_EQ(m_device->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
}

// ALPHATESTENABLE, ALPHAFUNC and ALPHAREF against an alpha of 0x80: each
// case in a column of its own.
TEST_F(DrawSemanticsTest, AlphaTestDiscardsAsAlphaFuncAndRefSay) {
  struct Case {
    BOOL enable;
    D3DCMPFUNC func;
    DWORD ref;
    bool drawn;
  } cases[] = {
      {TRUE, D3DCMP_GREATER, 0x7F, true},     {TRUE, D3DCMP_GREATER, 0x80, false},
      {TRUE, D3DCMP_EQUAL, 0x80, true},       {TRUE, D3DCMP_LESS, 0x80, false},
      {TRUE, D3DCMP_NEVER, 0, false},         {TRUE, D3DCMP_ALWAYS, 0xFF, true},
      {FALSE, D3DCMP_NEVER, 0, true},         {TRUE, D3DCMP_GREATEREQUAL, 0x180, true},  // only the low byte counts
  };
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  std::vector<Vertex> v;
  for (int i = 0; i < 8; ++i) {
    const std::vector<Vertex> r = Rect(8.0f * i, 0, 8.0f * i + 8, 64, 0x80FFFFFF);
    v.insert(v.end(), r.begin(), r.end());
  }
  Begin(vs, ps, Buffer(v));
  for (int i = 0; i < 8; ++i) {
    m_device->SetRenderState(D3DRS_ALPHATESTENABLE, cases[i].enable);
    m_device->SetRenderState(D3DRS_ALPHAFUNC, cases[i].func);
    m_device->SetRenderState(D3DRS_ALPHAREF, cases[i].ref);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 6 * i, 2), D3D_OK);
  }
  const Image img = Present();
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(img.At(8 * i + 4, 32)[0] > 128, cases[i].drawn) << "case " << i;
}

// D3DSHADE_FLAT: colours from the first vertex of each triangle; other
// inputs still interpolated.
TEST_F(DrawSemanticsTest, FlatShadingTakesColoursFromTheFirstVertex) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps =
      Ps("float4 main(float4 c : COLOR0, float4 t : TEXCOORD0) : COLOR0 { return float4(c.rg, t.x, 1); }");
  const std::vector<Vertex> v = {At(0, 0, 0xFFFF0000, 0), At(64, 0, 0xFF00FF00, 1), At(0, 64, 0xFF00FF00, 0)};
  for (DWORD mode : {D3DSHADE_FLAT, D3DSHADE_GOURAUD}) {
    Begin(vs, ps, Buffer(v));
    m_device->SetRenderState(D3DRS_SHADEMODE, mode);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    const Image img = Present();
    const uint8_t* p = img.At(30, 10);
    if (mode == D3DSHADE_FLAT) {
      EXPECT_TRUE(Near(p, 255, 0, p[2], 1));
    } else {
      EXPECT_GT(p[1], 60);
    }
    EXPECT_NEAR(p[2], 255 * 30.0 / 64, 8) << "texture coordinates interpolated";
  }
}

// SRGBWRITEENABLE encodes the shader's linear colour; SRGBTEXTURE decodes
// what a sampler reads.
TEST_F(DrawSemanticsTest, SrgbWritesEncodeAndSrgbTexturesDecode) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(m_device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  m_objects.push_back(texture);
  D3DLOCKED_RECT rect;
  ASSERT_EQ(texture->LockRect(0, &rect, nullptr, 0), D3D_OK);
  *static_cast<DWORD*>(rect.pBits) = 0xFFBCBCBC;  // sRGB 188: linear 0.503
  texture->UnlockRect(0);
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(
      "sampler2D s : register(s0); float4 k;\n"
      "float4 main(float4 t : TEXCOORD0) : COLOR0 { return lerp(k, tex2D(s, t.xy), k.w); }");
  struct Case {
    BOOL write, read;
    float k[4];
    int expected;
  } cases[] = {
      {FALSE, FALSE, {0.5f, 0.5f, 0.5f, 0}, 128},
      {TRUE, FALSE, {0.5f, 0.5f, 0.5f, 0}, 188},
      {FALSE, FALSE, {0, 0, 0, 1}, 188},
      {FALSE, TRUE, {0, 0, 0, 1}, 128},
      {TRUE, TRUE, {0, 0, 0, 1}, 188},
  };
  for (const Case& c : cases) {
    Begin(vs, ps, Buffer(Rect(0, 0, 64, 64)));
    m_device->SetTexture(0, texture);
    EXPECT_EQ(m_device->SetRenderState(D3DRS_SRGBWRITEENABLE, c.write), D3D_OK);
    EXPECT_EQ(m_device->SetSamplerState(0, D3DSAMP_SRGBTEXTURE, c.read), D3D_OK);
    m_device->SetPixelShaderConstantF(0, c.k, 1);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_TRUE(Near(Present().At(32, 32), c.expected, c.expected, c.expected, 1))
        << "write " << c.write << " read " << c.read;
  }
  m_device->SetTexture(0, nullptr);
}

// MAXMIPLEVEL picks the largest level sampled; a magnified draw still uses
// the magnification filter.
TEST_F(DrawSemanticsTest, MaxMipLevelChoosesTheLevelAndKeepsTheMagnificationFilter) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(m_device->CreateTexture(4, 4, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  m_objects.push_back(texture);
  D3DLOCKED_RECT rect;
  ASSERT_EQ(texture->LockRect(0, &rect, nullptr, 0), D3D_OK);  // level 0: all red
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) reinterpret_cast<DWORD*>(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch)[x] = 0xFFFF0000;
  texture->UnlockRect(0);
  ASSERT_EQ(texture->LockRect(1, &rect, nullptr, 0), D3D_OK);  // level 1: green, blue / blue, green
  const DWORD level1[2][2] = {{0xFF00FF00, 0xFF0000FF}, {0xFF0000FF, 0xFF00FF00}};
  for (int y = 0; y < 2; ++y) std::memcpy(static_cast<uint8_t*>(rect.pBits) + y * rect.Pitch, level1[y], 8);
  texture->UnlockRect(1);
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps =
      Ps("sampler2D s : register(s0); float4 main(float4 t : TEXCOORD0) : COLOR0 { return tex2D(s, t.xy); }");
  std::vector<Vertex> v = Rect(0, 0, 64, 64);
  for (Vertex& x : v) {
    x.u = (x.x + 1) / 2;
    x.v = (1 - x.y) / 2;
  }
  for (DWORD maxLevel : {0u, 1u, 5u}) {
    Begin(vs, ps, Buffer(v));
    m_device->SetTexture(0, texture);
    m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    m_device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, maxLevel);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    const Image img = Present();
    if (maxLevel == 0) {
      EXPECT_TRUE(Near(img.At(31, 10), 255, 0, 0));
    } else {
      // Point magnification of level 1: pure texels right up to the middle.
      EXPECT_TRUE(Near(img.At(30, 10), 0, 255, 0)) << "max level " << maxLevel;
      EXPECT_TRUE(Near(img.At(33, 10), 0, 0, 255)) << "max level " << maxLevel;
    }
  }
  m_device->SetTexture(0, nullptr);
}

// Stencil (one- and two-sided), separate alpha blending and the blend factor.
TEST_F(DrawSemanticsTest, StencilAndBlendStatesReachTheFramebuffer) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  std::vector<Vertex> v = Rect(0, 0, 32, 64, 0xFFFF0000);   // 0: the left half
  const std::vector<Vertex> all = Rect(0, 0, 64, 64, 0xFF00FF00);  // 6: everything
  v.insert(v.end(), all.begin(), all.end());
  // 12: the right half, wound the other way (counter-clockwise on screen).
  const std::vector<Vertex> ccw = {At(32, 0, 0xFF0000FF), At(32, 64, 0xFF0000FF), At(64, 64, 0xFF0000FF),
                                   At(32, 0, 0xFF0000FF), At(64, 64, 0xFF0000FF), At(64, 0, 0xFF0000FF)};
  v.insert(v.end(), ccw.begin(), ccw.end());
  Begin(vs, ps, Buffer(v));
  m_device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  m_device->SetRenderState(D3DRS_STENCILREF, 5);
  m_device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
  m_device->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
  m_device->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_INCR);
  m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);   // left: stencil 5
  m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 12, 2);  // right, other winding: stencil 1
  m_device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  m_device->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP);
  m_device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
  m_device->SetRenderState(D3DRS_CCW_STENCILFUNC, D3DCMP_EQUAL);
  m_device->SetRenderState(D3DRS_STENCILREF, 1);
  // Green over everything where the stencil is 1, blended with the blend factor.
  m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
  m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  m_device->SetRenderState(D3DRS_BLENDFACTOR, D3DCOLOR_ARGB(255, 0, 128, 0));
  m_device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
  m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
  const Image img = Present();
  EXPECT_TRUE(Near(img.At(16, 32), 255, 0, 0));    // stencil 5: untouched
  EXPECT_TRUE(Near(img.At(48, 32), 0, 128, 255));  // stencil 1: blue + half green
}

}  // namespace

namespace {

DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof(d));
  return d;
}

// POINTSIZE gives a shader that writes no PSIZE its point size, clamped to
// POINTSIZE_MIN..MAX; DEPTHBIAS moves depth by its value.
TEST_F(DrawSemanticsTest, PointSizeAndDepthBiasStatesApply) {
  IDirect3DVertexShader9* vs = Vs(kPassVs);
  IDirect3DPixelShader9* ps = Ps(kColourPs);
  for (float max : {64.0f, 2.0f}) {
    Begin(vs, ps, Buffer(std::vector<Vertex>{At(20, 20)}));
    m_device->SetRenderState(D3DRS_POINTSIZE, FloatBits(6.0f));
    m_device->SetRenderState(D3DRS_POINTSIZE_MAX, FloatBits(max));
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
    const Image img = Present();
    EXPECT_TRUE(Near(img.At(20, 20), 255, 255, 255)) << "max " << max;
    EXPECT_TRUE(Near(img.At(17, 17), max > 6 ? 255 : 0, max > 6 ? 255 : 0, max > 6 ? 255 : 0)) << "max " << max;
    EXPECT_TRUE(Near(img.At(24, 24), 0, 0, 0)) << "max " << max;
  }

  std::vector<Vertex> v = Rect(0, 0, 64, 64, 0xFFFF0000);
  const std::vector<Vertex> green = Rect(0, 0, 64, 64, 0xFF00FF00);
  v.insert(v.end(), green.begin(), green.end());
  Begin(vs, ps, Buffer(v));
  m_device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);  // red at z 0.5
  D3DVIEWPORT9 left = {0, 0, 32, 64, 0, 1}, right = {32, 0, 32, 64, 0, 1};
  m_device->SetViewport(&left);
  m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);  // green at the same depth: not less
  m_device->SetViewport(&right);
  m_device->SetRenderState(D3DRS_DEPTHBIAS, FloatBits(-0.001f));
  m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);  // pulled in front
  const Image img = Present();
  EXPECT_TRUE(Near(img.At(16, 32), 255, 0, 0));
  EXPECT_TRUE(Near(img.At(48, 32), 0, 255, 0));
}

}  // namespace
