// The OpenGL implementation of Direct3D 9 under Xvfb with Mesa's llvmpipe:
// what reaches the back buffer, read through the layer's capture switch.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <d3dx9.h>

#include "support/FrameCapture.h"
#include "support/QuadKit.h"
#include "support/TestDevice.h"
#include "LiveObjects.h"
#include "mesh/Vertex.h"
#include "Win32Internal.h"

namespace {

namespace fs = std::filesystem;

using quadkit::kElements;
using quadkit::SafeRelease;
using quadkit::Vertex;

// A colour-from-constant pixel shader for the pass-through vertex shader.
const char kPixelShader[] =
    "sampler2D s : register(s0);\n"
    "float4 tint;\n"
    "float4 main(float4 c : COLOR0, float4 t : TEXCOORD0) : COLOR0 { return c * tint + tex2D(s, t.xy); }\n";

// A window, a device with a 64x64 back buffer, the shader pair and a
// declaration. Each test runs in its own process (gtest_discover_tests), so
// the layer's switches are set here before the device first reads them.
class GlDeviceTest : public ::testing::Test {
 protected:
  static constexpr int kSize = 64;

  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs the Xvfb display of ./test.sh";
    m_dir = StartCapture("ostrevin-gl-", "1,2,3,4,5,6");
    setenv("OSTREVIN_PRESENT_FAIL", "4", 1);

    ASSERT_EQ(m_gl.Open(L"GlDeviceTest", 300, 300, kSize, kSize), nullptr);
    ASSERT_TRUE(Compile(quadkit::kPassThroughVs, "vs_2_0", true));
    ASSERT_TRUE(Compile(kPixelShader, "ps_2_0", false));
    ASSERT_EQ(m_gl.device->CreateVertexDeclaration(kElements, &m_decl), D3D_OK);
  }

  void TearDown() override {
    SafeRelease(m_vb);
    SafeRelease(m_ib);
    SafeRelease(m_texture);
    SafeRelease(m_decl);
    SafeRelease(m_vs);
    SafeRelease(m_ps);
    SafeRelease(m_psTable);
    SafeRelease(m_gl.device);
    SafeRelease(m_gl.d3d);
    EXPECT_EQ(ostrevin::LiveObjects(), 0);
    m_gl.Close();
    fs::remove_all(m_dir);
  }

  bool Compile(const char* source, const char* profile, bool vertex) {
    ID3DXConstantTable* table = nullptr;
    const std::vector<DWORD> code = quadkit::CompileShader(source, profile, &table);
    if (code.empty()) return false;
    const HRESULT hr =
        vertex ? m_gl.device->CreateVertexShader(code.data(), &m_vs) : m_gl.device->CreatePixelShader(code.data(), &m_ps);
    if (vertex) {
      table->Release();
    } else {
      m_psTable = table;
    }
    return SUCCEEDED(hr);
  }

  // Screen position (Direct3D pixel coordinates) to clip space.
  static Vertex At(float sx, float sy, float z, D3DCOLOR color, float u = 0, float v = 0) {
    return {2.0f * sx / kSize - 1.0f, 1.0f - 2.0f * sy / kSize, z, 1.0f, color, u, v, 0, 0};
  }

  void Upload(const std::vector<Vertex>& vertices, const std::vector<WORD>& indices) {
    SafeRelease(m_vb);
    SafeRelease(m_ib);
    ASSERT_EQ(m_gl.device->CreateVertexBuffer(static_cast<UINT>(vertices.size() * sizeof(Vertex)), D3DUSAGE_WRITEONLY,
                                           0, D3DPOOL_MANAGED, &m_vb, nullptr),
              D3D_OK);
    ASSERT_EQ(quadkit::Fill(m_vb, vertices.data(), vertices.size() * sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(m_gl.device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                          D3DPOOL_MANAGED, &m_ib, nullptr),
              D3D_OK);
    ASSERT_EQ(quadkit::Fill(m_ib, indices.data(), indices.size() * 2), D3D_OK);
  }

  // m_texture: 2x2 A8R8G8B8, top row first: red, green / blue, white.
  void CreateQuadrantTexture() {
    ASSERT_EQ(m_gl.device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_texture, nullptr), D3D_OK);
    D3DLOCKED_RECT rect;
    ASSERT_EQ(m_texture->LockRect(0, &rect, nullptr, 0), D3D_OK);
    const DWORD texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (int row = 0; row < 2; ++row)
      std::memcpy(static_cast<uint8_t*>(rect.pBits) + row * rect.Pitch, &texels[row * 2], 8);
    m_texture->UnlockRect(0);
  }

  void Bind(float tintR = 1, float tintG = 1, float tintB = 1) {
    m_gl.device->SetVertexShader(m_vs);
    m_gl.device->SetPixelShader(m_ps);
    m_gl.device->SetVertexDeclaration(m_decl);
    m_gl.device->SetStreamSource(0, m_vb, 0, sizeof(Vertex));
    m_gl.device->SetIndices(m_ib);
    m_gl.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const D3DXVECTOR4 tint(tintR, tintG, tintB, 1);
    m_psTable->SetVector(m_gl.device, "tint", &tint);
  }

  void Draw(UINT start, UINT triangles, UINT vertices) {
    EXPECT_EQ(m_gl.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, start, triangles), D3D_OK);
  }

  Image Present(unsigned frame) {
    m_gl.device->EndScene();
    m_gl.device->Present(nullptr, nullptr, nullptr, nullptr);
    return CapturedFrame(m_dir, frame);
  }

  fs::path m_dir;
  TestDevice m_gl;
  IDirect3DVertexShader9* m_vs = nullptr;
  IDirect3DPixelShader9* m_ps = nullptr;
  ID3DXConstantTable* m_psTable = nullptr;
  IDirect3DVertexDeclaration9* m_decl = nullptr;
  IDirect3DVertexBuffer9* m_vb = nullptr;
  IDirect3DIndexBuffer9* m_ib = nullptr;
  IDirect3DTexture9* m_texture = nullptr;
};

TEST_F(GlDeviceTest, ClearFillsTheBackBufferWithTheColour) {
  ASSERT_EQ(m_gl.device->BeginScene(), D3D_OK);
  EXPECT_EQ(m_gl.device->BeginScene(), D3DERR_INVALIDCALL);  // already in a scene
  ASSERT_EQ(m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                            D3DCOLOR_XRGB(0x33, 0x66, 0x99), 1.0f, 0),
            D3D_OK);
  const Image img = Present(1);
  ASSERT_EQ(img.width, kSize);
  ASSERT_EQ(img.height, kSize);
  for (int y = 0; y < kSize; y += 7)
    for (int x = 0; x < kSize; x += 7) {
      ASSERT_EQ(img.At(x, y)[0], 0x33);
      ASSERT_EQ(img.At(x, y)[1], 0x66);
      ASSERT_EQ(img.At(x, y)[2], 0x99);
    }
}

// A right triangle with corners on pixel centres covers exactly the pixels
// Direct3D 9's rules give: centres at integer coordinates, top and left
// edges in, the right/bottom hypotenuse out; the image's top row first.
TEST_F(GlDeviceTest, TriangleCoversTheDirect3DPixels) {
  const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0);
  Upload({At(8, 8, 0.5f, red), At(40, 8, 0.5f, red), At(8, 40, 0.5f, red)}, {0, 1, 2});
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Bind();
  Draw(0, 1, 3);
  const Image img = Present(1);
  int wrong = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const bool expected = x >= 8 && y >= 8 && x + y < 48;
      const bool lit = img.At(x, y)[0] > 128;
      if (expected != lit && ++wrong < 10) ADD_FAILURE() << "pixel " << x << "," << y << (lit ? " lit" : " not lit");
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(GlDeviceTest, DepthTestLessEqualHidesWhatIsBehind) {
  const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0), green = D3DCOLOR_XRGB(0, 255, 0), blue = D3DCOLOR_XRGB(0, 0, 255);
  std::vector<Vertex> v;
  std::vector<WORD> idx;
  auto quad = [&](float x0, float y0, float x1, float y1, float z, D3DCOLOR c) {
    const WORD b = static_cast<WORD>(v.size());
    v.insert(v.end(), {At(x0, y0, z, c), At(x1, y0, z, c), At(x1, y1, z, c), At(x0, y1, z, c)});
    idx.insert(idx.end(), {b, static_cast<WORD>(b + 1), static_cast<WORD>(b + 2), b, static_cast<WORD>(b + 2),
                           static_cast<WORD>(b + 3)});
  };
  quad(0, 0, 64, 64, 0.5f, red);     // 0: the wall
  quad(0, 0, 32, 64, 0.7f, green);   // 6: behind it: hidden
  quad(32, 0, 64, 32, 0.5f, blue);   // 12: equal depth: drawn under LESSEQUAL
  quad(32, 32, 64, 64, 0.25f, blue); // 18: in front
  Upload(v, idx);
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Bind();
  m_gl.device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  m_gl.device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  m_gl.device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  for (UINT q = 0; q < 4; ++q) Draw(q * 6, 2, 16);
  const Image img = Present(1);
  EXPECT_GT(img.At(10, 30)[0], 200);  // red wall, green hidden behind it
  EXPECT_LT(img.At(10, 30)[1], 50);
  EXPECT_GT(img.At(50, 10)[2], 200);  // blue at equal depth
  EXPECT_GT(img.At(50, 50)[2], 200);  // blue in front
  // Depth beyond 1 after the divide is clipped: z in [0, 1] is the range.
  v.clear();
  idx.clear();
  quad(0, 0, 64, 64, 1.5f, green);
  Upload(v, idx);
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Bind();
  Draw(0, 2, 4);
  const Image clipped = Present(2);
  EXPECT_LT(clipped.At(32, 32)[1], 50);
}

TEST_F(GlDeviceTest, TextureRowsAndColoursArriveAsDirect3DStoresThem) {
  ASSERT_NO_FATAL_FAILURE(CreateQuadrantTexture());
  D3DSURFACE_DESC desc;
  ASSERT_EQ(m_texture->GetLevelDesc(0, &desc), D3D_OK);
  EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(desc.Width, 2u);

  const D3DCOLOR black = 0;
  Upload({At(0, 0, 0.5f, black, 0, 0), At(64, 0, 0.5f, black, 1, 0), At(64, 64, 0.5f, black, 1, 1),
          At(0, 64, 0.5f, black, 0, 1)},
         {0, 1, 2, 0, 2, 3});
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Bind(0, 0, 0);
  m_gl.device->SetTexture(0, m_texture);
  m_gl.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  m_gl.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  Draw(0, 2, 4);
  const Image img = Present(1);
  auto expect = [&](int x, int y, int r, int g, int b) {
    const uint8_t* p = img.At(x, y);
    EXPECT_EQ(p[0], r) << x << "," << y;
    EXPECT_EQ(p[1], g) << x << "," << y;
    EXPECT_EQ(p[2], b) << x << "," << y;
  };
  expect(10, 10, 255, 0, 0);
  expect(50, 10, 0, 255, 0);
  expect(10, 50, 0, 0, 255);
  expect(50, 50, 255, 255, 255);
}

// The GL texture is made at the first unlock, whichever level it is, from
// every level's copy: the level written first arrives, and the one never
// written samples as its zeroed copy.
TEST_F(GlDeviceTest, ATexturesFirstUnlockUploadsEveryLevel) {
  ASSERT_EQ(m_gl.device->CreateTexture(2, 2, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_texture, nullptr), D3D_OK);
  D3DLOCKED_RECT rect;
  ASSERT_EQ(m_texture->LockRect(1, &rect, nullptr, 0), D3D_OK);
  const DWORD texel = 0xFF20C040;
  std::memcpy(rect.pBits, &texel, 4);
  ASSERT_EQ(m_texture->UnlockRect(1), D3D_OK);

  const D3DCOLOR black = 0;
  Upload({At(0, 0, 0.5f, black, 0, 0), At(64, 0, 0.5f, black, 1, 0), At(64, 64, 0.5f, black, 1, 1),
          At(0, 64, 0.5f, black, 0, 1)},
         {0, 1, 2, 0, 2, 3});
  for (const DWORD top : {1u, 0u}) {  // D3DSAMP_MAXMIPLEVEL: the largest level sampled
    m_gl.device->BeginScene();
    m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(90, 90, 90), 1.0f, 0);
    Bind(0, 0, 0);
    m_gl.device->SetTexture(0, m_texture);
    m_gl.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    m_gl.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    m_gl.device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    m_gl.device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, top);
    Draw(0, 2, 4);
    const Image img = Present(top == 1 ? 1 : 2);
    const uint8_t* p = img.At(32, 32);
    if (top == 1) {
      EXPECT_EQ(p[0], 0x20);
      EXPECT_EQ(p[1], 0xC0);
      EXPECT_EQ(p[2], 0x40);
    } else {
      EXPECT_EQ(p[0] + p[1] + p[2], 0);
    }
  }
}

TEST_F(GlDeviceTest, ManagedResourcesSurviveALostDeviceAndReset) {
  const D3DCOLOR c = D3DCOLOR_XRGB(10, 200, 30);
  Upload({At(4, 4, 0.5f, c), At(60, 4, 0.5f, c), At(60, 60, 0.5f, c), At(4, 60, 0.5f, c)}, {0, 1, 2, 0, 2, 3});
  auto frame = [&](unsigned) {
    m_gl.device->BeginScene();
    m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(5, 5, 5), 1.0f, 0);
    Bind();
    Draw(0, 2, 4);
    m_gl.device->EndScene();
    return m_gl.device->Present(nullptr, nullptr, nullptr, nullptr);
  };
  ASSERT_EQ(frame(1), D3D_OK);
  ASSERT_EQ(frame(2), D3D_OK);
  ASSERT_EQ(frame(3), D3D_OK);
  EXPECT_EQ(frame(4), D3DERR_DEVICELOST);  // injected by OSTREVIN_PRESENT_FAIL=4
  EXPECT_EQ(m_gl.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(frame(5), D3DERR_DEVICELOST);  // lost until Reset
  ASSERT_EQ(m_gl.device->Reset(&m_gl.params), D3D_OK);
  EXPECT_EQ(m_gl.device->TestCooperativeLevel(), D3D_OK);
  ASSERT_EQ(frame(6), D3D_OK);  // same buffers, shaders and declaration

  Image before, after;
  ASSERT_TRUE(ReadPng((m_dir / "frame-00001.png").string(), &before));
  ASSERT_TRUE(ReadPng((m_dir / "frame-00006.png").string(), &after));
  EXPECT_TRUE(before.rgb == after.rgb);
  EXPECT_EQ(after.At(32, 32)[1], 200);
  EXPECT_FALSE(fs::exists(m_dir / "frame-00004.png"));
}

TEST_F(GlDeviceTest, AResizedWindowKeepsTheBackBufferSize) {
  SDL_SetWindowSize(ostrevin::win32::SdlWindow(m_gl.window), 500, 200);
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0);
  const Image img = Present(1);
  EXPECT_EQ(img.width, kSize);
  EXPECT_EQ(img.height, kSize);
}

TEST_F(GlDeviceTest, InvalidCallsAreRefused) {
  IDirect3DVertexBuffer9* vb = nullptr;
  EXPECT_EQ(m_gl.device->CreateVertexBuffer(0, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb, nullptr);
  EXPECT_EQ(m_gl.device->CreateVertexBuffer(16, 0, 0, D3DPOOL_MANAGED, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_gl.device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_gl.device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(1000), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_gl.device->SetSamplerState(99, D3DSAMP_MINFILTER, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_gl.device->EndScene(), D3DERR_INVALIDCALL);  // no scene begun
  // No declaration bound: the draw is refused.
  EXPECT_EQ(m_gl.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
  Upload({At(0, 0, 0, 0), At(1, 0, 0, 0), At(0, 1, 0, 0)}, {0, 1, 2});
  Bind();
  // Indices past the end of the index buffer.
  EXPECT_EQ(m_gl.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2), D3DERR_INVALIDCALL);
  IDirect3DVertexShader9* vs = nullptr;
  EXPECT_EQ(m_gl.device->CreateVertexShader(nullptr, &vs), D3DERR_INVALIDCALL);
  const DWORD garbage[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  IDirect3DPixelShader9* ps = nullptr;
  EXPECT_EQ(m_gl.device->CreatePixelShader(garbage, &ps), D3DERR_INVALIDCALL);
  EXPECT_EQ(ps, nullptr);
  IDirect3DTexture9* tex = nullptr;
  EXPECT_EQ(m_gl.device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_gl.device->CreateTexture(4, 4, 9, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(Direct3DCreate9(30), nullptr);
}

// The shipped Phong shaders light and texture a quad facing the viewer:
// each quadrant shows its texel's colour, lit, with the texture's top row
// at the top of the image.
TEST_F(GlDeviceTest, ShippedShadersDrawALitTexturedQuad) {
  const std::string dir = std::string(std::getenv("OSTREVIN_SOURCE_DIR")) + "/assets/";
  auto compileFile = [&](const char* file, const char* entry, const char* profile, ID3DXConstantTable** table,
                         bool vertex) {
    std::ifstream in(dir + file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string source = ss.str();
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    HRESULT hr = D3DXCompileShader(source.data(), static_cast<UINT>(source.size()), nullptr, nullptr, entry, profile,
                                   D3DXSHADER_OPTIMIZATION_LEVEL3, &code, &errors, table);
    if (errors != nullptr) errors->Release();
    ASSERT_EQ(hr, D3D_OK) << file;
    const DWORD* function = static_cast<const DWORD*>(code->GetBufferPointer());
    if (vertex) SafeRelease(m_vs);
    else SafeRelease(m_ps);
    hr = vertex ? m_gl.device->CreateVertexShader(function, &m_vs) : m_gl.device->CreatePixelShader(function, &m_ps);
    code->Release();
    ASSERT_EQ(hr, D3D_OK) << file;
  };
  ID3DXConstantTable* vsTable = nullptr;
  ID3DXConstantTable* psTable = nullptr;
  compileFile("vs-phong.hlsl", "main", "vs_2_0", &vsTable, true);
  compileFile("ps-phong.hlsl", "pixel_shader_main", "ps_2_0", &psTable, false);
  ASSERT_NE(vsTable, nullptr);

  ASSERT_NO_FATAL_FAILURE(CreateQuadrantTexture());

  // A quad in the plane z = 0 facing -z, where the eye and the lamp are.
  auto corner = [](float x, float y, float u, float v) {
    CVertex c;
    std::memset(&c, 0, sizeof(c));
    c.m_position = D3DXVECTOR3(x, y, 0);
    c.m_normal = D3DXVECTOR3(0, 0, -1);
    c.m_normal1 = D3DXVECTOR3(1, 0, 0);
    c.m_normal2 = D3DXVECTOR3(0, -1, 0);
    c.m_texCoord = D3DXVECTOR4(u, v, 0, 0);
    c.m_color = 0xFFFFFFFF;
    return c;
  };
  const CVertex quad[4] = {corner(-1, 1, 0, 0), corner(1, 1, 1, 0), corner(1, -1, 1, 1), corner(-1, -1, 0, 1)};
  const WORD indices[6] = {0, 1, 2, 0, 2, 3};
  ASSERT_EQ(m_gl.device->CreateVertexBuffer(sizeof(quad), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &m_vb, nullptr), D3D_OK);
  void* p = nullptr;
  m_vb->Lock(0, 0, &p, 0);
  std::memcpy(p, quad, sizeof(quad));
  m_vb->Unlock();
  ASSERT_EQ(m_gl.device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &m_ib,
                                        nullptr),
            D3D_OK);
  m_ib->Lock(0, 0, &p, 0);
  std::memcpy(p, indices, sizeof(indices));
  m_ib->Unlock();
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(m_gl.device->CreateVertexDeclaration(g_vertexElements, &decl), D3D_OK);

  D3DXMATRIX world, viewProjection;
  D3DXMatrixIdentity(&world);
  D3DXMatrixIdentity(&viewProjection);
  viewProjection._33 = 0.0f;  // every point at depth 0.5
  viewProjection._43 = 0.5f;
  const D3DXVECTOR4 light(100, 0, -100, 0), eye(0, 0, -100, 1);
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  m_gl.device->SetVertexShader(m_vs);
  m_gl.device->SetPixelShader(m_ps);
  vsTable->SetMatrix(m_gl.device, "mViewProjection", &viewProjection);
  vsTable->SetMatrix(m_gl.device, "mWorld", &world);
  vsTable->SetVector(m_gl.device, "vLight", &light);
  vsTable->SetVector(m_gl.device, "vCam", &eye);
  m_gl.device->SetTexture(0, m_texture);
  m_gl.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  m_gl.device->SetVertexDeclaration(decl);
  m_gl.device->SetStreamSource(0, m_vb, 0, sizeof(CVertex));
  m_gl.device->SetIndices(m_ib);
  EXPECT_EQ(m_gl.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  const Image img = Present(1);
  struct {
    int x, y;
    bool r, g, b;  // which channels the lit texel keeps bright
  } const quadrants[] = {{16, 16, true, false, false}, {48, 16, false, true, false},
                         {16, 48, false, false, true}, {48, 48, true, true, true}};
  for (const auto& q : quadrants) {
    const uint8_t* px = img.At(q.x, q.y);
    const bool bright[3] = {q.r, q.g, q.b};
    for (int c = 0; c < 3; ++c) {
      if (bright[c]) EXPECT_GT(px[c], 200) << q.x << "," << q.y << " channel " << c;
      else EXPECT_LT(px[c], 110) << q.x << "," << q.y << " channel " << c;
    }
  }
  decl->Release();
  vsTable->Release();
  psTable->Release();
}

// VPOS is the pixel's integer coordinates from the top left of the render
// target and VFACE is positive on front faces (clockwise on the screen),
// negative on back faces, as in Direct3D 9.
TEST_F(GlDeviceTest, VposAndVfaceFollowDirect3D) {
  SafeRelease(m_ps);
  SafeRelease(m_psTable);
  ASSERT_TRUE(Compile("float4 main(float2 pos : VPOS, float face : VFACE) : COLOR {\n"
                      "  return float4(pos.x / 255, pos.y / 255, face > 0 ? 1 : 0, 1);\n}\n",
                      "ps_3_0", false));
  const D3DCOLOR white = D3DCOLOR_XRGB(255, 255, 255);
  // The left half clockwise on the screen, the right half counter-clockwise.
  Upload({At(0, 0, 0.5f, white), At(32, 0, 0.5f, white), At(32, 64, 0.5f, white), At(0, 64, 0.5f, white),
          At(32, 0, 0.5f, white), At(64, 0, 0.5f, white), At(64, 64, 0.5f, white), At(32, 64, 0.5f, white)},
         {0, 1, 2, 0, 2, 3, 4, 6, 5, 4, 7, 6});
  m_gl.device->BeginScene();
  m_gl.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  Bind();
  Draw(0, 4, 8);
  const Image img = Present(1);
  int wrong = 0;
  for (int y = 0; y < kSize; y += 3)
    for (int x = 0; x < kSize; x += 3) {
      const uint8_t* p = img.At(x, y);
      const int face = x < 32 ? 255 : 0;
      if ((p[0] != x || p[1] != y || p[2] != face) && ++wrong < 10) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
      }
    }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
