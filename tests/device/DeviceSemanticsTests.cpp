// Direct3D 9's rules for device creation and Reset, Clear and the scissor
// rectangle, the lifetime of bound objects and the resource pools, on the
// OpenGL device under Xvfb; pixels read straight from the back buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <d3dx9.h>

#include "LiveObjects.h"
#include "support/QuadKit.h"
#include "support/TestDevice.h"

namespace {

const char kPixelShader[] =
    "sampler2D s : register(s0);\n"
    "float4 main(float4 c : COLOR0, float4 t : TEXCOORD0) : COLOR0 { return c + tex2D(s, t.xy); }\n";

using quadkit::SafeRelease;

constexpr D3DCOLOR kBlack = D3DCOLOR_XRGB(0, 0, 0);
constexpr D3DCOLOR kRed = D3DCOLOR_XRGB(255, 0, 0);
constexpr D3DCOLOR kGreen = D3DCOLOR_XRGB(0, 255, 0);
constexpr D3DCOLOR kBlue = D3DCOLOR_XRGB(0, 0, 255);

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// A window and a device with a 64x64 back buffer (D24S8 unless a test asks
// otherwise), the shader pair and the declaration for full-window quads.
class DeviceSemanticsTest : public ::testing::Test {
 protected:
  static constexpr int kSize = 64;

  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs the Xvfb display of ./test.sh";
    ASSERT_EQ(m_test.OpenDirect3D(L"DeviceSemanticsTest", 300, 200), nullptr);
  }

  void TearDown() override {
    ReleaseDevice();
    SafeRelease(m_d3d);
    EXPECT_EQ(ostrevin::LiveObjects(), 0);
    m_test.Close();
  }

  static D3DPRESENT_PARAMETERS Params() { return TestDevice::Params(kSize, kSize); }

  HRESULT CreateDevice(D3DPRESENT_PARAMETERS* p) { return m_test.CreateDevice(p); }

  void CreateDrawingDevice() {
    D3DPRESENT_PARAMETERS p = Params();
    ASSERT_EQ(CreateDevice(&p), D3D_OK);
    ASSERT_NE(m_vs = quadkit::CreateVertexShader(m_device, quadkit::kPassThroughVs, "vs_2_0"), nullptr);
    ASSERT_NE(m_ps = quadkit::CreatePixelShader(m_device, kPixelShader, "ps_2_0"), nullptr);
    ASSERT_EQ(m_device->CreateVertexDeclaration(quadkit::kElements, &m_decl), D3D_OK);
    // A full-window quad: texture coordinates 0..1, colour per call.
    ASSERT_EQ(quadkit::CreateFullQuad(m_device, &m_vb, &m_ib), D3D_OK);
    SetQuadColour(kBlack);
    m_device->SetVertexShader(m_vs);
    m_device->SetPixelShader(m_ps);
    m_device->SetVertexDeclaration(m_decl);
    m_device->SetStreamSource(0, m_vb, 0, sizeof(quadkit::Vertex));
    m_device->SetIndices(m_ib);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  }

  void SetQuadColour(D3DCOLOR c) { ASSERT_EQ(quadkit::ColourFullQuad(m_vb, c), D3D_OK); }

  HRESULT DrawQuad() { return quadkit::DrawFullQuad(m_device); }

  // The code's words, none when the compiler refuses the source.
  static std::vector<DWORD> Compile(const char* source, const char* profile) {
    std::string messages;
    return quadkit::CompileShader(source, profile, nullptr, &messages);
  }

  // The back buffer's pixel at Direct3D coordinates (x, y), as 0xRRGGBB.
  static uint32_t Pixel(int x, int y) { return quadkit::BackBufferPixel(x, y, kSize); }

  void ReleaseDevice() {
    SafeRelease(m_vb);
    SafeRelease(m_ib);
    SafeRelease(m_decl);
    SafeRelease(m_vs);
    SafeRelease(m_ps);
    SafeRelease(m_device);
  }

  TestDevice m_test;
  HWND& m_window = m_test.window;
  IDirect3D9*& m_d3d = m_test.d3d;
  IDirect3DDevice9*& m_device = m_test.device;
  IDirect3DVertexShader9* m_vs = nullptr;
  IDirect3DPixelShader9* m_ps = nullptr;
  IDirect3DVertexDeclaration9* m_decl = nullptr;
  IDirect3DVertexBuffer9* m_vb = nullptr;
  IDirect3DIndexBuffer9* m_ib = nullptr;
};

// ------------------------------------------------------------- creation and Reset

TEST_F(DeviceSemanticsTest, Direct3DCreate9TakesTheSdkVersionsOfTheHeaders) {
  const struct {
    UINT version;
    bool accepted;
  } cases[] = {{31, true}, {32, true}, {31 | 0x80000000u, true}, {32 | 0x80000000u, true},
               {0, false}, {30, false}, {33, false}, {0x80000000u, false}};
  for (const auto& c : cases) {
    IDirect3D9* d3d = Direct3DCreate9(c.version);
    EXPECT_EQ(d3d != nullptr, c.accepted) << std::hex << c.version;
    if (d3d != nullptr) d3d->Release();
  }
}

// What CreateDevice refuses, and what it writes back into the parameters.
TEST_F(DeviceSemanticsTest, CreateDeviceChecksAndWritesBackThePresentParameters) {
  RECT client;
  GetClientRect(m_window, &client);
  D3DPRESENT_PARAMETERS p = Params();
  p.BackBufferWidth = p.BackBufferHeight = 0;
  p.BackBufferFormat = D3DFMT_UNKNOWN;
  p.BackBufferCount = 0;
  ASSERT_EQ(CreateDevice(&p), D3D_OK);
  EXPECT_EQ(p.BackBufferWidth, static_cast<UINT>(client.right - client.left));
  EXPECT_EQ(p.BackBufferHeight, static_cast<UINT>(client.bottom - client.top));
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(p.BackBufferCount, 1u);
  ReleaseDevice();

  const struct {
    const char* what;
    void (*change)(D3DPRESENT_PARAMETERS*);
    HRESULT expected;
  } cases[] = {
      {"copy with two back buffers", [](D3DPRESENT_PARAMETERS* q) { q->SwapEffect = D3DSWAPEFFECT_COPY, q->BackBufferCount = 2; },
       D3DERR_INVALIDCALL},
      {"copy with one back buffer", [](D3DPRESENT_PARAMETERS* q) { q->SwapEffect = D3DSWAPEFFECT_COPY; }, D3D_OK},
      {"flip with three back buffers",
       [](D3DPRESENT_PARAMETERS* q) { q->SwapEffect = D3DSWAPEFFECT_FLIP, q->BackBufferCount = 3; }, D3D_OK},
      {"four back buffers", [](D3DPRESENT_PARAMETERS* q) { q->BackBufferCount = 4; }, D3DERR_INVALIDCALL},
      {"no swap effect", [](D3DPRESENT_PARAMETERS* q) { q->SwapEffect = static_cast<D3DSWAPEFFECT>(0); },
       D3DERR_INVALIDCALL},
      {"full screen", [](D3DPRESENT_PARAMETERS* q) { q->Windowed = FALSE; }, D3DERR_INVALIDCALL},
      {"refresh rate when windowed", [](D3DPRESENT_PARAMETERS* q) { q->FullScreen_RefreshRateInHz = 60; },
       D3DERR_INVALIDCALL},
      {"interval two", [](D3DPRESENT_PARAMETERS* q) { q->PresentationInterval = D3DPRESENT_INTERVAL_TWO; }, D3D_OK},
      {"interval three", [](D3DPRESENT_PARAMETERS* q) { q->PresentationInterval = 4; }, D3DERR_INVALIDCALL},
      {"present flags", [](D3DPRESENT_PARAMETERS* q) { q->Flags = 1; }, D3DERR_INVALIDCALL},
      {"multisample quality", [](D3DPRESENT_PARAMETERS* q) { q->MultiSampleQuality = 1; }, D3DERR_INVALIDCALL},
      {"multisampling", [](D3DPRESENT_PARAMETERS* q) { q->MultiSampleType = D3DMULTISAMPLE_4_SAMPLES; },
       D3DERR_NOTAVAILABLE},
      {"back buffer format", [](D3DPRESENT_PARAMETERS* q) { q->BackBufferFormat = D3DFMT_R5G6B5; }, D3DERR_NOTAVAILABLE},
      {"D32 depth", [](D3DPRESENT_PARAMETERS* q) { q->AutoDepthStencilFormat = D3DFMT_D32; }, D3DERR_NOTAVAILABLE},
      {"colour format as depth", [](D3DPRESENT_PARAMETERS* q) { q->AutoDepthStencilFormat = D3DFMT_A8R8G8B8; },
       D3DERR_INVALIDCALL},
      {"colour format, no depth asked",
       [](D3DPRESENT_PARAMETERS* q) { q->EnableAutoDepthStencil = FALSE, q->AutoDepthStencilFormat = D3DFMT_A8R8G8B8; },
       D3D_OK},
  };
  // A refused call leaves the caller's pointer as it was.
  IDirect3DDevice9* const untouched = reinterpret_cast<IDirect3DDevice9*>(0x1234);
  for (const auto& c : cases) {
    D3DPRESENT_PARAMETERS q = Params();
    c.change(&q);
    if (c.expected != D3D_OK) m_device = untouched;
    EXPECT_EQ(CreateDevice(&q), c.expected) << c.what;
    if (c.expected != D3D_OK) {
      EXPECT_EQ(m_device, untouched) << c.what;
      m_device = nullptr;
    }
    SafeRelease(m_device);
  }
  IDirect3DDevice9* device = nullptr;
  EXPECT_EQ(m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                nullptr, &device),
            D3DERR_INVALIDCALL);
}

// A failed Reset leaves the device lost until a Reset succeeds.
TEST_F(DeviceSemanticsTest, FailedResetLeavesTheDeviceLost) {
  D3DPRESENT_PARAMETERS p = Params();
  ASSERT_EQ(CreateDevice(&p), D3D_OK);
  auto expectLost = [&](const char* what) {
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET) << what;
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST) << what;
  };
  auto expectWorking = [&](const char* what) {
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK) << what;
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK) << what;
  };

  EXPECT_EQ(m_device->Reset(nullptr), D3DERR_INVALIDCALL);
  expectLost("null parameters");
  D3DPRESENT_PARAMETERS bad = Params();
  bad.SwapEffect = D3DSWAPEFFECT_COPY;
  bad.BackBufferCount = 2;
  EXPECT_EQ(m_device->Reset(&bad), D3DERR_INVALIDCALL);
  expectLost("copy with two back buffers");

  // Each default-pool kind held by the application blocks Reset; managed
  // and system-memory ones do not.
  const struct {
    const char* what;
    D3DPOOL pool;
    int kind;  // 0 vertex buffer, 1 index buffer, 2 texture
  } cases[] = {{"vertex buffer", D3DPOOL_DEFAULT, 0}, {"index buffer", D3DPOOL_DEFAULT, 1},
               {"texture", D3DPOOL_DEFAULT, 2},       {"managed vertex buffer", D3DPOOL_MANAGED, 0},
               {"managed texture", D3DPOOL_MANAGED, 2}, {"system-memory index buffer", D3DPOOL_SYSTEMMEM, 1}};
  for (const auto& c : cases) {
    IUnknown* resource = nullptr;
    if (c.kind == 0) {
      ASSERT_EQ(m_device->CreateVertexBuffer(64, 0, 0, c.pool, reinterpret_cast<IDirect3DVertexBuffer9**>(&resource),
                                             nullptr),
                D3D_OK);
    } else if (c.kind == 1) {
      ASSERT_EQ(m_device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, c.pool,
                                            reinterpret_cast<IDirect3DIndexBuffer9**>(&resource), nullptr),
                D3D_OK);
    } else {
      ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, c.pool,
                                        reinterpret_cast<IDirect3DTexture9**>(&resource), nullptr),
                D3D_OK);
    }
    D3DPRESENT_PARAMETERS q = Params();
    if (c.pool == D3DPOOL_DEFAULT) {
      EXPECT_EQ(m_device->Reset(&q), D3DERR_INVALIDCALL) << c.what;
      expectLost(c.what);
    }
    resource->Release();
    q = Params();
    q.BackBufferWidth = 32;
    EXPECT_EQ(m_device->Reset(&q), D3D_OK) << c.what;
    expectWorking(c.what);
  }

  // A default-pool buffer only the device still holds does not block Reset,
  // which unbinds and so destroys it.
  IDirect3DVertexBuffer9* bound = nullptr;
  ASSERT_EQ(m_device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &bound, nullptr), D3D_OK);
  m_device->SetStreamSource(0, bound, 0, 16);
  const int live = ostrevin::LiveObjects();
  bound->Release();
  EXPECT_EQ(ostrevin::LiveObjects(), live);
  D3DPRESENT_PARAMETERS again = Params();
  EXPECT_EQ(m_device->Reset(&again), D3D_OK);
  EXPECT_EQ(ostrevin::LiveObjects(), live - 1);

  // The device window stays the one the device was made for.
  HWND other = CreateWindowExW(0, L"DeviceSemanticsTest", L"other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                               NULL, NULL);
  again = Params();
  again.hDeviceWindow = other;
  EXPECT_EQ(m_device->Reset(&again), D3DERR_INVALIDCALL);
  expectLost("another window");
  again.hDeviceWindow = m_window;
  EXPECT_EQ(m_device->Reset(&again), D3D_OK);
  DestroyWindow(other);

  // Reset writes back what it chose, as CreateDevice does.
  D3DPRESENT_PARAMETERS q = Params();
  q.BackBufferFormat = D3DFMT_UNKNOWN;
  q.BackBufferCount = 0;
  q.BackBufferHeight = 0;
  ASSERT_EQ(m_device->Reset(&q), D3D_OK);
  RECT client;
  GetClientRect(m_window, &client);
  EXPECT_EQ(q.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(q.BackBufferCount, 1u);
  EXPECT_EQ(q.BackBufferHeight, static_cast<UINT>(client.bottom - client.top));
  D3DVIEWPORT9 vp;
  m_device->GetViewport(&vp);
  EXPECT_EQ(vp.Height, q.BackBufferHeight);
}

// Without EnableAutoDepthStencil there is no depth buffer to clear; D16 and
// D24X8 have no stencil.
TEST_F(DeviceSemanticsTest, DepthAndStencilClearsNeedTheBuffer) {
  const struct {
    BOOL autoDepth;
    D3DFORMAT format;
    HRESULT z, stencil;
    DWORD zenable;
  } cases[] = {
      {FALSE, D3DFMT_D24S8, D3DERR_INVALIDCALL, D3DERR_INVALIDCALL, D3DZB_FALSE},
      {TRUE, D3DFMT_D16, D3D_OK, D3DERR_INVALIDCALL, D3DZB_TRUE},
      {TRUE, D3DFMT_D24X8, D3D_OK, D3DERR_INVALIDCALL, D3DZB_TRUE},
      {TRUE, D3DFMT_D24S8, D3D_OK, D3D_OK, D3DZB_TRUE},
  };
  for (const auto& c : cases) {
    D3DPRESENT_PARAMETERS p = Params();
    p.EnableAutoDepthStencil = c.autoDepth;
    p.AutoDepthStencilFormat = c.format;
    ASSERT_EQ(CreateDevice(&p), D3D_OK) << c.format;
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), c.z) << c.autoDepth << " " << c.format;
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), c.stencil) << c.autoDepth << " " << c.format;
    DWORD zenable = 99;
    m_device->GetRenderState(D3DRS_ZENABLE, &zenable);
    EXPECT_EQ(zenable, c.zenable);
    SafeRelease(m_device);
  }
}

// ------------------------------------------------------------- Clear and scissor

TEST_F(DeviceSemanticsTest, ClearCoversTheRectanglesItIsGiven) {
  CreateDrawingDevice();
  const D3DRECT left = {0, 0, 32, 64}, corner = {48, 48, 64, 64}, inverted = {40, 10, 30, 20};
  const D3DRECT two[2] = {left, corner};
  const struct {
    const char* what;
    DWORD count;
    const D3DRECT* rects;
    BOOL scissor;  // with the scissor rectangle 16,0 - 64,16 on
    uint32_t at10_10, at40_40, at56_56, at56_8;
  } cases[] = {
      {"count 0, no rectangles: all", 0, nullptr, FALSE, 0xff0000, 0xff0000, 0xff0000, 0xff0000},
      {"count 1, no rectangles: all", 1, nullptr, FALSE, 0xff0000, 0xff0000, 0xff0000, 0xff0000},
      {"count 0 with rectangles: nothing", 0, two, FALSE, 0x0000ff, 0x0000ff, 0x0000ff, 0x0000ff},
      {"two rectangles", 2, two, FALSE, 0xff0000, 0x0000ff, 0xff0000, 0x0000ff},
      {"an inverted rectangle: nothing", 1, &inverted, FALSE, 0x0000ff, 0x0000ff, 0x0000ff, 0x0000ff},
      {"scissor test on", 0, nullptr, TRUE, 0x0000ff, 0x0000ff, 0x0000ff, 0xff0000},
      {"scissor test on, with rectangles", 2, two, TRUE, 0x0000ff, 0x0000ff, 0x0000ff, 0x0000ff},
  };
  const RECT scissor = {16, 0, 64, 16};
  ASSERT_EQ(m_device->SetScissorRect(&scissor), D3D_OK);
  for (const auto& c : cases) {
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, c.scissor);
    ASSERT_EQ(m_device->Clear(c.count, c.rects, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK) << c.what;
    EXPECT_EQ(Pixel(10, 10), c.at10_10) << c.what;
    EXPECT_EQ(Pixel(40, 40), c.at40_40) << c.what;
    EXPECT_EQ(Pixel(56, 56), c.at56_56) << c.what;
    EXPECT_EQ(Pixel(56, 8), c.at56_8) << c.what;
  }
}

// A clear with rectangles leaves no scissor box behind: a draw afterwards
// with the scissor test on is cut by the scissor rectangle only.
TEST_F(DeviceSemanticsTest, DrawsAreCutByTheScissorRectangleOnly) {
  CreateDrawingDevice();
  RECT r = {};
  ASSERT_EQ(m_device->GetScissorRect(&r), D3D_OK);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, kSize);  // the whole back buffer by default
  EXPECT_EQ(r.bottom, kSize);
  EXPECT_EQ(m_device->SetScissorRect(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(m_device->GetScissorRect(nullptr), D3DERR_INVALIDCALL);

  const D3DRECT small = {0, 0, 4, 4};
  const RECT half = {32, 0, 64, 64};
  const struct {
    const char* what;
    BOOL scissor;
    const RECT* rect;  // null: the default
    uint32_t at10_10, at40_40;
  } cases[] = {
      {"scissor test off", FALSE, &half, 0x00ff00, 0x00ff00},
      {"scissor test on, default rectangle", TRUE, nullptr, 0x00ff00, 0x00ff00},
      {"scissor test on, right half", TRUE, &half, 0x0000ff, 0x00ff00},
  };
  SetQuadColour(kGreen);
  for (const auto& c : cases) {
    const RECT whole = {0, 0, kSize, kSize};
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    ASSERT_EQ(m_device->SetScissorRect(c.rect != nullptr ? c.rect : &whole), D3D_OK);
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, c.scissor);
    ASSERT_EQ(m_device->Clear(1, &small, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    ASSERT_EQ(DrawQuad(), D3D_OK);
    EXPECT_EQ(Pixel(10, 10), c.at10_10) << c.what;
    EXPECT_EQ(Pixel(40, 40), c.at40_40) << c.what;
    RECT back = {};
    m_device->GetScissorRect(&back);
    EXPECT_EQ(back.left, c.rect != nullptr ? c.rect->left : 0) << c.what;
  }
}

// ------------------------------------------------------------- lifetimes

// Bound objects stay alive and drawable after their last public Release,
// binding does not count as a public reference, and unbinding destroys them.
TEST_F(DeviceSemanticsTest, BoundObjectsLiveUntilUnbound) {
  CreateDrawingDevice();
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(m_device->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  *static_cast<DWORD*>(locked.pBits) = D3DCOLOR_XRGB(0, 0, 200);
  texture->UnlockRect(0);
  SetQuadColour(D3DCOLOR_XRGB(200, 0, 0));

  IUnknown* objects[] = {texture, m_vb, m_ib, m_decl, m_vs, m_ps};
  ULONG before[6];
  for (int i = 0; i < 6; ++i) before[i] = RefCount(objects[i]);
  ASSERT_EQ(m_device->SetTexture(0, texture), D3D_OK);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(RefCount(objects[i]), before[i]) << i;  // binding adds no public reference

  const int live = ostrevin::LiveObjects();
  const ULONG deviceRefs = RefCount(m_device);
  for (IUnknown* o : objects) EXPECT_EQ(o->Release(), 0u);
  m_vb = nullptr, m_ib = nullptr, m_decl = nullptr, m_vs = nullptr, m_ps = nullptr;
  EXPECT_EQ(ostrevin::LiveObjects(), live);               // all still there
  EXPECT_EQ(RefCount(m_device), deviceRefs - 6);          // but they no longer hold the device
  m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  ASSERT_EQ(DrawQuad(), D3D_OK);
  EXPECT_EQ(Pixel(32, 32), 0xc800c8u);  // the released buffers, shaders and texture drew

  // A public reference handed out again takes the device reference back.
  IDirect3DBaseTexture9* again = nullptr;
  ASSERT_EQ(m_device->GetTexture(0, &again), D3D_OK);
  EXPECT_EQ(RefCount(m_device), deviceRefs - 5);
  again->Release();

  const struct {
    const char* what;
    void (*unbind)(IDirect3DDevice9*);
  } unbinds[] = {
      {"texture", [](IDirect3DDevice9* d) { d->SetTexture(0, nullptr); }},
      {"stream", [](IDirect3DDevice9* d) { d->SetStreamSource(0, nullptr, 0, 0); }},
      {"indices", [](IDirect3DDevice9* d) { d->SetIndices(nullptr); }},
      {"declaration", [](IDirect3DDevice9* d) { d->SetVertexDeclaration(nullptr); }},
      {"vertex shader", [](IDirect3DDevice9* d) { d->SetVertexShader(nullptr); }},
      {"pixel shader", [](IDirect3DDevice9* d) { d->SetPixelShader(nullptr); }},
  };
  int expected = live;
  for (const auto& u : unbinds) {
    u.unbind(m_device);
    EXPECT_EQ(ostrevin::LiveObjects(), --expected) << u.what;
  }
}

// The device's last Release destroys what only its bindings still held
// (TearDown checks that nothing is left).
TEST_F(DeviceSemanticsTest, ReleasingTheDeviceDestroysWhatOnlyItHeld) {
  CreateDrawingDevice();
  m_vb->Release(), m_ib->Release(), m_decl->Release(), m_vs->Release(), m_ps->Release();
  m_vb = nullptr, m_ib = nullptr, m_decl = nullptr, m_vs = nullptr, m_ps = nullptr;
  EXPECT_EQ(m_device->Release(), 0u);
  m_device = nullptr;
}

// ------------------------------------------------------------- resource rules

TEST_F(DeviceSemanticsTest, TextureCreationFollowsTheUsageAndPoolRules) {
  D3DPRESENT_PARAMETERS p = Params();
  ASSERT_EQ(CreateDevice(&p), D3D_OK);
  const struct {
    DWORD usage;
    D3DPOOL pool;
    UINT levels;
    D3DFORMAT format;
    HRESULT expected;
    DWORD levelCount;
  } cases[] = {
      {0, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, D3D_OK, 4},
      {D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, 1, D3DFMT_A8R8G8B8, D3D_OK, 1},
      {D3DUSAGE_DYNAMIC, D3DPOOL_SYSTEMMEM, 1, D3DFMT_A8R8G8B8, D3D_OK, 1},
      {D3DUSAGE_DYNAMIC, D3DPOOL_MANAGED, 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_MANAGED, 0, D3DFMT_A8R8G8B8, D3D_OK, 1},
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_DEFAULT, 1, D3DFMT_X8R8G8B8, D3D_OK, 1},
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_MANAGED, 2, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_SYSTEMMEM, 0, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_MANAGED, 0, D3DFMT_DXT1, D3D_OK, 1},  // one level, none generated
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_SCRATCH, 0, D3DFMT_A8R8G8B8, D3D_OK, 1},
      {0x1 /* render target */, D3DPOOL_DEFAULT, 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
      {D3DUSAGE_WRITEONLY, D3DPOOL_MANAGED, 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
      {0, static_cast<D3DPOOL>(4), 1, D3DFMT_A8R8G8B8, D3DERR_INVALIDCALL, 0},
  };
  for (const auto& c : cases) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(m_device->CreateTexture(8, 8, c.levels, c.usage, c.format, c.pool, &texture, nullptr), c.expected)
        << std::hex << c.usage << " pool " << c.pool << " levels " << c.levels;
    if (texture == nullptr) continue;
    EXPECT_EQ(texture->GetLevelCount(), c.levelCount) << std::hex << c.usage;
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(c.levelCount, &desc), D3DERR_INVALIDCALL);
    texture->Release();
  }
  // Buffers take no texture usages; a refused call leaves the caller's
  // pointer as it was.
  const struct {
    DWORD usage;
    D3DPOOL pool;
    HRESULT expected;
  } buffers[] = {
      {D3DUSAGE_DYNAMIC, D3DPOOL_MANAGED, D3DERR_INVALIDCALL}, {D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, D3D_OK},
      {0, D3DPOOL_SCRATCH, D3DERR_INVALIDCALL},                {0, static_cast<D3DPOOL>(7), D3DERR_INVALIDCALL},
      {D3DUSAGE_WRITEONLY, D3DPOOL_SYSTEMMEM, D3D_OK},
      {0x1 /* render target */, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
      {0x2 /* depth stencil */, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
      {D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
  };
  for (const auto& b : buffers) {
    IDirect3DVertexBuffer9* const untouchedVb = reinterpret_cast<IDirect3DVertexBuffer9*>(0x1234);
    IDirect3DIndexBuffer9* const untouchedIb = reinterpret_cast<IDirect3DIndexBuffer9*>(0x1234);
    IDirect3DVertexBuffer9* vb = untouchedVb;
    IDirect3DIndexBuffer9* ib = untouchedIb;
    EXPECT_EQ(m_device->CreateVertexBuffer(16, b.usage, 0, b.pool, &vb, nullptr), b.expected)
        << std::hex << b.usage << " pool " << b.pool;
    EXPECT_EQ(m_device->CreateIndexBuffer(16, b.usage, D3DFMT_INDEX16, b.pool, &ib, nullptr), b.expected)
        << std::hex << b.usage << " pool " << b.pool;
    if (b.expected == D3D_OK) {
      vb->Release();
      ib->Release();
    } else {
      EXPECT_EQ(vb, untouchedVb) << std::hex << b.usage << " pool " << b.pool;
      EXPECT_EQ(ib, untouchedIb) << std::hex << b.usage << " pool " << b.pool;
    }
  }
  IDirect3DVertexBuffer9* vb = reinterpret_cast<IDirect3DVertexBuffer9*>(0x1234);
  EXPECT_EQ(m_device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb, reinterpret_cast<IDirect3DVertexBuffer9*>(0x1234));
}

// Only dynamic textures of the default pool are locked; priorities are kept
// for managed resources only.
TEST_F(DeviceSemanticsTest, LocksAndPrioritiesFollowThePool) {
  D3DPRESENT_PARAMETERS p = Params();
  ASSERT_EQ(CreateDevice(&p), D3D_OK);
  const struct {
    DWORD usage;
    D3DPOOL pool;
    HRESULT lock;
    DWORD kept;  // what GetPriority gives after SetPriority(5)
  } cases[] = {
      {0, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL, 0}, {D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, D3D_OK, 0},
      {0, D3DPOOL_MANAGED, D3D_OK, 5},             {0, D3DPOOL_SYSTEMMEM, D3D_OK, 0},
      {0, D3DPOOL_SCRATCH, D3D_OK, 0},
  };
  for (const auto& c : cases) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), c.lock) << c.pool << " " << c.usage;
    if (c.lock == D3D_OK) texture->UnlockRect(0);
    EXPECT_EQ(texture->SetPriority(5), 0u);
    EXPECT_EQ(texture->SetPriority(5), c.kept);  // the previous priority
    EXPECT_EQ(texture->GetPriority(), c.kept);
    texture->Release();
    if (c.pool == D3DPOOL_SCRATCH || (c.usage & D3DUSAGE_DYNAMIC)) continue;  // no such buffers
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(16, 0, 0, c.pool, &vb, nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);  // buffers lock in every pool
    vb->Unlock();
    EXPECT_EQ(vb->SetPriority(5), 0u);
    EXPECT_EQ(vb->GetPriority(), c.kept);
    vb->Release();
  }
}

// An automatically mipmapped texture shows one level; drawn at a quarter of
// its size it samples the generated levels: a red/blue checker averages to
// purple (the top level's texels are pure red or blue, untouched levels 0).
TEST_F(DeviceSemanticsTest, AutogenMipmapGeneratesTheLowerLevels) {
  CreateDrawingDevice();
  constexpr UINT kTexture = 4 * kSize;
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(m_device->CreateTexture(kTexture, kTexture, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                    &texture, nullptr),
            D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 1u);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (UINT y = 0; y < kTexture; ++y) {
    DWORD* row = reinterpret_cast<DWORD*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
    for (UINT x = 0; x < kTexture; ++x) row[x] = ((x + y) & 1) ? kRed : kBlue;
  }
  ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  texture->UnlockRect(0);
  m_device->SetTexture(0, texture);
  m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  ASSERT_EQ(DrawQuad(), D3D_OK);
  const uint32_t c = Pixel(20, 20);
  EXPECT_NEAR(static_cast<int>(c >> 16), 128, 2) << std::hex << c;
  EXPECT_EQ((c >> 8) & 0xff, 0u) << std::hex << c;
  EXPECT_NEAR(static_cast<int>(c & 0xff), 128, 2) << std::hex << c;
  texture->GenerateMipSubLevels();  // made already: nothing to see, nothing to break
  m_device->SetTexture(0, nullptr);
  texture->Release();
}

// Only textures the device can sample are bound: not scratch ones, and not
// system-memory ones (no D3DDEVCAPS_TEXTURESYSTEMMEMORY). A refused texture
// leaves the stage as it was.
TEST_F(DeviceSemanticsTest, SetTextureTakesNoScratchOrSystemMemoryTexture) {
  CreateDrawingDevice();
  IDirect3DTexture9* bound = nullptr;
  ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &bound, nullptr), D3D_OK);
  ASSERT_EQ(m_device->SetTexture(3, bound), D3D_OK);
  const struct {
    DWORD usage;
    D3DPOOL pool;
    HRESULT expected;
  } cases[] = {
      {0, D3DPOOL_SCRATCH, D3DERR_INVALIDCALL},
      {0, D3DPOOL_SYSTEMMEM, D3DERR_INVALIDCALL},
      {D3DUSAGE_DYNAMIC, D3DPOOL_SYSTEMMEM, D3DERR_INVALIDCALL},
      {D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, D3D_OK},
      {0, D3DPOOL_MANAGED, D3D_OK},
  };
  for (const auto& c : cases) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, &texture, nullptr), D3D_OK);
    EXPECT_EQ(m_device->SetTexture(3, texture), c.expected) << c.pool;
    IDirect3DBaseTexture9* now = nullptr;
    ASSERT_EQ(m_device->GetTexture(3, &now), D3D_OK);
    EXPECT_EQ(now, c.expected == D3D_OK ? static_cast<IDirect3DBaseTexture9*>(texture) : bound) << c.pool;
    if (now != nullptr) now->Release();
    ASSERT_EQ(m_device->SetTexture(3, bound), D3D_OK);
    texture->Release();
  }
  EXPECT_EQ(m_device->SetTexture(3, nullptr), D3D_OK);
  bound->Release();
}

// No vertex texture fetch and no displacement map: the vertex and
// displacement samplers are refused, as is a vertex shader that samples.
TEST_F(DeviceSemanticsTest, VertexAndDisplacementSamplersAreRefused) {
  CreateDrawingDevice();
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  const DWORD samplers[] = {256 /* displacement map */, 257, 258, 259, 260 /* vertex 0-3 */, 16};
  for (DWORD s : samplers) {
    EXPECT_EQ(m_device->SetTexture(s, texture), D3DERR_INVALIDCALL) << s;
    EXPECT_EQ(m_device->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3DERR_INVALIDCALL) << s;
    DWORD value = 0;
    EXPECT_EQ(m_device->GetSamplerState(s, D3DSAMP_MINFILTER, &value), D3DERR_INVALIDCALL) << s;
  }
  texture->Release();
  const std::vector<DWORD> sampling = Compile(
      "sampler2D s : register(s0);\n"
      "float4 main(float4 p : POSITION) : POSITION { return p + tex2Dlod(s, float4(0, 0, 0, 0)); }\n",
      "vs_3_0");
  if (sampling.empty()) GTEST_SKIP() << "the compiler does not take vertex texture fetch";
  IDirect3DVertexShader9* vs = nullptr;
  EXPECT_EQ(m_device->CreateVertexShader(sampling.data(), &vs), D3DERR_INVALIDCALL);
  EXPECT_EQ(vs, nullptr);
}

}  // namespace
