// The device manager on the recording fake device.
#include <gtest/gtest.h>

#include "fake/FakeDevice.h"
#include "graphics/Renderer.h"
#include "graphics/Shader.h"
#include "graphics/Texture.h"
#include "mesh/Vertex.h"
#include "support/RegistryTest.h"

namespace {

using RendererTest = RegistryTest;

IDirect3DVertexBuffer9* MakeVertexBuffer(IDirect3DDevice9* device) {
  IDirect3DVertexBuffer9* vb = nullptr;
  EXPECT_EQ(device->CreateVertexBuffer(68, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  return vb;
}

TEST_F(RendererTest, InstanceIsOneObject) { EXPECT_EQ(&CRenderer::Instance(), &CRenderer::Instance()); }

TEST_F(RendererTest, ReleaseAllBeforeInitAndTwiceTouchesNothing) {
  R().ReleaseAll();
  R().ReleaseAll();
  EXPECT_EQ(fake::CountCalls("Release"), 0u);
  EXPECT_EQ(R().m_pD3D, nullptr);
  EXPECT_EQ(R().m_pDevice, nullptr);
  EXPECT_EQ(R().m_pVertexDecl, nullptr);
  EXPECT_TRUE(R().m_textures.empty() && R().m_shaders.empty() && R().m_meshes.empty());
  EXPECT_TRUE(R().m_indexBuffers.empty() && R().m_vertexBuffers.empty());
}

TEST_F(RendererTest, InitFillsThePresentParameters) {
  ASSERT_TRUE(R().Init(Window(), 784, 561));
  const D3DPRESENT_PARAMETERS& p = R().m_presentParams;
  EXPECT_EQ(p.BackBufferWidth, 784u);
  EXPECT_EQ(p.BackBufferHeight, 561u);
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(p.BackBufferCount, 1u);
  EXPECT_EQ(p.MultiSampleType, D3DMULTISAMPLE_NONE);
  EXPECT_EQ(p.MultiSampleQuality, 0u);
  EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(p.hDeviceWindow, nullptr);
  EXPECT_EQ(p.Windowed, TRUE);
  EXPECT_EQ(p.EnableAutoDepthStencil, TRUE);
  EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D24S8);
  EXPECT_EQ(p.Flags, 0u);
  EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
  EXPECT_EQ(p.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_ONE));

  const auto create = fake::CallsNamed("CreateDevice");
  ASSERT_EQ(create.size(), 1u);
  EXPECT_EQ(create[0].args[0], 0u);     // default adapter
  EXPECT_EQ(create[0].args[1], 1u);     // HAL
  EXPECT_EQ(create[0].args[2], reinterpret_cast<uintptr_t>(Window()));
  EXPECT_EQ(create[0].args[3], 0x40u);  // hardware vertex processing only
  EXPECT_NE(R().m_pVertexDecl, nullptr);
  EXPECT_EQ(fake::CallsNamed("CreateVertexDeclaration")[0].args[0], reinterpret_cast<uintptr_t>(g_vertexElements));
}

TEST_F(RendererTest, InitFailures) {
  fake::FailCall("Direct3DCreate9", E_FAIL);
  EXPECT_FALSE(R().Init(Window(), 10, 10));
  EXPECT_EQ(R().m_pD3D, nullptr);

  fake::FailCall("CreateDevice", D3DERR_NOTAVAILABLE);
  EXPECT_FALSE(R().Init(Window(), 10, 10));
  EXPECT_NE(R().m_pD3D, nullptr);  // kept for ReleaseAll
  EXPECT_EQ(R().m_pDevice, nullptr);

  // A declaration that cannot be made fails Init (nothing could be drawn);
  // the device stays for ReleaseAll, which releases it once.
  R().ReleaseAll();
  fake::FailCall("CreateVertexDeclaration", E_OUTOFMEMORY);
  EXPECT_FALSE(R().Init(Window(), 10, 10));
  EXPECT_EQ(R().m_pVertexDecl, nullptr);
  EXPECT_NE(R().m_pDevice, nullptr);
  R().ReleaseAll();
  EXPECT_EQ(R().m_pDevice, nullptr);
  EXPECT_EQ(fake::LiveObjects(), 0);
}

TEST_F(RendererTest, RemoveSwapsWithLastAndReleasesOnce) {
  ASSERT_TRUE(R().Init(Window(), 10, 10));
  IDirect3DVertexBuffer9* a = MakeVertexBuffer(R().m_pDevice);
  IDirect3DVertexBuffer9* b = MakeVertexBuffer(R().m_pDevice);
  IDirect3DVertexBuffer9* c = MakeVertexBuffer(R().m_pDevice);
  R().m_vertexBuffers = {a, b, c};
  b->AddRef();  // watch b's count through the removals
  fake::Clear();

  EXPECT_TRUE(R().RemoveVertexBuffer(a));
  EXPECT_EQ(R().m_vertexBuffers, (std::vector<IDirect3DVertexBuffer9*>{c, b}));
  EXPECT_EQ(fake::CountCalls("Release"), 1u);
  EXPECT_EQ(fake::RefCount(a), 0u);

  EXPECT_TRUE(R().RemoveVertexBuffer(b));  // the last entry: no exchange
  EXPECT_EQ(R().m_vertexBuffers, (std::vector<IDirect3DVertexBuffer9*>{c}));
  EXPECT_EQ(fake::RefCount(b), 1u);

  // b is no longer registered: false, and its count stays.
  EXPECT_FALSE(R().RemoveVertexBuffer(b));
  EXPECT_EQ(fake::RefCount(b), 1u);
  b->Release();

  R().m_vertexBuffers.clear();
  IDirect3DIndexBuffer9* unregistered = nullptr;
  ASSERT_EQ(R().m_pDevice->CreateIndexBuffer(6, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &unregistered,
                                             nullptr),
            D3D_OK);
  EXPECT_FALSE(R().RemoveIndexBuffer(unregistered));  // empty registry
  EXPECT_EQ(fake::RefCount(unregistered), 1u);
  unregistered->Release();
  c->Release();
}

TEST_F(RendererTest, ReleaseAllReleasesEachObjectOnceInOrder) {
  ASSERT_TRUE(R().Init(Window(), 10, 10));
  IDirect3DDevice9* device = R().m_pDevice;
  const void* decl = R().m_pVertexDecl;
  const void* d3d = R().m_pD3D;
  CTexture* texture = new CTexture();
  device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture->m_pD3DTexture, nullptr);
  R().m_textures.push_back(texture);
  R().m_vertexBuffers.push_back(MakeVertexBuffer(device));
  const void* tex = texture->m_pD3DTexture;
  const void* vb = R().m_vertexBuffers[0];
  fake::Clear();

  R().ReleaseAll();
  std::vector<const void*> released;
  for (const fake::Call& c : fake::Calls())
    if (c.name == "Release") released.push_back(c.object);
  // Declaration, texture, buffer, device (which lets go of the Direct3D
  // object it holds), then the manager's own Direct3D reference.
  EXPECT_EQ(released, (std::vector<const void*>{decl, tex, vb, device, d3d, d3d}));
  EXPECT_EQ(texture->m_pD3DTexture, nullptr);
  EXPECT_EQ(fake::LiveObjects(), liveBefore);
  EXPECT_EQ(R().m_pD3D, nullptr);
  EXPECT_EQ(R().m_pDevice, nullptr);
  EXPECT_TRUE(R().m_textures.empty());
  EXPECT_EQ(texture->GetFileName(), L"");  // the record itself stays allocated
  delete texture;
}

TEST_F(RendererTest, ResetFailureLeavesTexturesNullAndSuccessReloadsThem) {
  ASSERT_TRUE(R().Init(Window(), 10, 10));
  CTexture* texture = new CTexture();
  texture->m_fileName = L"no-such-texture.dds";
  R().m_pDevice->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture->m_pD3DTexture, nullptr);
  R().m_textures.push_back(texture);

  fake::FailCall("Reset", D3DERR_DEVICELOST);
  EXPECT_EQ(R().Reset(), D3DERR_DEVICELOST);
  EXPECT_EQ(texture->m_pD3DTexture, nullptr);

  // The file is missing, so the reload leaves it null but Reset succeeds.
  EXPECT_EQ(R().Reset(), D3D_OK);
  EXPECT_EQ(texture->m_pD3DTexture, nullptr);
  const auto resets = fake::CallsNamed("Reset");
  ASSERT_EQ(resets.size(), 2u);
  EXPECT_EQ(resets[1].args[0], reinterpret_cast<uintptr_t>(&R().m_presentParams));
  R().ReleaseAll();
  delete texture;
}

}  // namespace
