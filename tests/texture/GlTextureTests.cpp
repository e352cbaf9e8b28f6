// Textures from files through the OpenGL device under Xvfb: what the
// sampler returns for formats whose GL realisation needs swizzles, signs,
// floats or a format of its own (read through the layer's capture switch).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <d3dx9.h>

#include "support/PngImage.h"
#include "texture/DdsWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace texture_test;

const char kVertexShader[] =
    "struct V { float4 p : POSITION; float4 t : TEXCOORD0; };\n"
    "V main(V v) { return v; }\n";
const char kPixelShader[] =
    "sampler2D s : register(s0);\n"
    "float4 main(float4 t : TEXCOORD0) : COLOR0 { return tex2D(s, t.xy); }\n";

struct Vertex {
  float x, y, z, w, u, v, s, q;
};
const D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

// One BC7 block in mode 6 of one colour: each channel (c7 << 1 | p).
std::vector<uint8_t> SolidBc7Block(uint8_t r7, uint8_t g7, uint8_t b7, uint8_t a7, bool p) {
  std::vector<uint8_t> block(16, 0);
  unsigned bit = 0;
  auto put = [&](unsigned value, unsigned count) {
    for (unsigned i = 0; i < count; ++i, ++bit)
      if ((value >> i) & 1) block[bit / 8] = static_cast<uint8_t>(block[bit / 8] | 1u << (bit % 8));
  };
  put(1u << 6, 7);  // mode 6
  for (uint8_t c : {r7, g7, b7, a7}) {
    put(c, 7);
    put(c, 7);
  }
  put(p ? 1 : 0, 1);
  put(p ? 1 : 0, 1);
  return block;  // indices all 0
}

TEST(GlTexture, FormatsSampleAsDirect3DSamplesThem) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs the Xvfb display of ./test.sh";
  const fs::path dir = fs::temp_directory_path() / ("ostrevin-gl-texture-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  setenv("OSTREVIN_CAPTURE", dir.c_str(), 1);
  setenv("OSTREVIN_CAPTURE_FRAMES", "1,2,3,4,5,6,7,8,9,10,11,12", 1);

  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int rgb[3];
  };
  DdsLayout bgrxSrgb = Dx10(93, 1, 1);
  std::vector<uint8_t> ati2 = {50, 50, 0, 0, 0, 0, 0, 0, 200, 200, 0, 0, 0, 0, 0, 0};
  // BC7 is never decoded: the file brings its whole chain.
  std::vector<uint8_t> bc7;
  for (int level = 0; level < 3; ++level) {
    const std::vector<uint8_t> block = SolidBc7Block(100, 20, 60, 127, true);
    bc7.insert(bc7.end(), block.begin(), block.end());
  }
  const Case cases[] = {
      {"L8 is grey", WriteDds(Masks(0x20000, 8, 0xff, 0, 0, 0, 1, 1), {64}), {64, 64, 64}},
      {"A4L4 through A8L8", WriteDds(Masks(0x20000, 8, 0xf, 0, 0, 0xf0, 1, 1), {0x3c}), {204, 204, 204}},
      {"R8G8B8 through X8R8G8B8", WriteDds(Rgb(24, 0xff0000, 0xff00, 0xff, 0, 1, 1), {0x10, 0x80, 0xf0}),
       {240, 128, 16}},
      // D3DX's masks name A2B10G10R10, whose red is in the low bits.
      {"A2B10G10R10", WriteDds(Rgb(32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000, 1, 1), {0xff, 0x03, 0, 0xc0}),
       {255, 0, 0}},
      {"R16F: green and blue read one", WriteDds(FourCC(D3DFMT_R16F, 1, 1), {0x00, 0x38}), {128, 255, 255}},
      {"V8U8: blue reads one", WriteDds(Masks(0x80000, 16, 0xff, 0xff00, 0, 0, 1, 1), {127, 0x81}), {255, 0, 255}},
      {"ATI2 swaps its channels", WriteDds(FourCC(MAKEFOURCC('A', 'T', 'I', '2'), 4, 4), ati2), {200, 50, 255}},
      {"DX10 BC7", WriteDds(Dx10(98, 4, 4, 3), bc7), {201, 41, 121}},
      {"DX10 B8G8R8X8_UNORM_SRGB as X8R8G8B8", WriteDds(bgrxSrgb, {30, 60, 90, 0}), {90, 60, 30}},
  };

  WNDCLASSEXW wc;
  std::memset(&wc, 0, sizeof(wc));
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"GlTextureTest";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  HWND window = CreateWindowExW(0, L"GlTextureTest", L"GL texture test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 100, 100, NULL, NULL, NULL, NULL);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DPRESENT_PARAMETERS pp;
  std::memset(&pp, 0, sizeof(pp));
  pp.BackBufferWidth = pp.BackBufferHeight = 16;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  IDirect3DDevice9* device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                              &device),
            D3D_OK);
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps = nullptr;
  for (const char* source : {kVertexShader, kPixelShader}) {
    const bool vertex = source == kVertexShader;
    ID3DXBuffer* code = nullptr;
    ASSERT_EQ(D3DXCompileShader(source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, "main",
                                vertex ? "vs_2_0" : "ps_2_0", 0, &code, nullptr, nullptr),
              D3D_OK);
    const DWORD* function = static_cast<const DWORD*>(code->GetBufferPointer());
    ASSERT_EQ(vertex ? device->CreateVertexShader(function, &vs) : device->CreatePixelShader(function, &ps), D3D_OK);
    code->Release();
  }
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(kElements, &decl), D3D_OK);
  const Vertex quad[4] = {{-1, 1, 0.5f, 1, 0, 0, 0, 0}, {1, 1, 0.5f, 1, 1, 0, 0, 0}, {-1, -1, 0.5f, 1, 0, 1, 0, 0},
                          {1, -1, 0.5f, 1, 1, 1, 0, 0}};
  const WORD indices[6] = {0, 1, 2, 2, 1, 3};
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(sizeof(quad), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  ASSERT_EQ(device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
            D3D_OK);
  void* mapped = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &mapped, 0), D3D_OK);
  std::memcpy(mapped, quad, sizeof(quad));
  vb->Unlock();
  ASSERT_EQ(ib->Lock(0, 0, &mapped, 0), D3D_OK);
  std::memcpy(mapped, indices, sizeof(indices));
  ib->Unlock();

  unsigned frame = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, c.file.data(), static_cast<UINT>(c.file.size()), &texture),
              D3D_OK);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->SetVertexShader(vs);
    device->SetPixelShader(ps);
    device->SetVertexDeclaration(decl);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTexture(0, texture);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    device->SetIndices(ib);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    device->SetTexture(0, nullptr);
    texture->Release();
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%05u.png", ++frame);
    Image img;
    ASSERT_TRUE(ReadPng((dir / name).string(), &img)) << name;
    const uint8_t* p = img.At(8, 8);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], c.rgb[k], 2) << "channel " << k;
  }
  ib->Release();
  vb->Release();
  decl->Release();
  ps->Release();
  vs->Release();
  device->Release();
  d3d->Release();
  DestroyWindow(window);
  fs::remove_all(dir);
}

}  // namespace
