// What the OpenGL device tests draw with: a vertex of position, colour and
// texture coordinates and its declaration, the pass-through vertex shader,
// shaders compiled and created from source, buffers filled from memory, the
// full-window quad, pixels read straight from the back buffer, and releasing.
#pragma once

#include <gtest/gtest.h>

#include <GL/glcorearb.h>
#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <d3dx9.h>

namespace quadkit {

struct Vertex {
  float x, y, z, w;
  D3DCOLOR color;
  float u, v, s, q;
};
inline constexpr D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 20, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

// Hands position, colour and texture coordinates on untouched.
inline constexpr char kPassThroughVs[] =
    "struct V { float4 p : POSITION; float4 c : COLOR0; float4 t : TEXCOORD0; };\n"
    "V main(V v) { return v; }\n";

// D3DXCompileShader of the source's main: the code's words, none when it
// fails. What the compiler says is a test failure, unless it goes to
// *messages.
inline std::vector<DWORD> CompileShader(const char* source, const char* profile, ID3DXConstantTable** table = nullptr,
                                        std::string* messages = nullptr) {
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  const HRESULT hr = D3DXCompileShader(source, static_cast<UINT>(std::strlen(source)), nullptr, nullptr, "main",
                                       profile, 0, &code, &errors, table);
  if (errors != nullptr) {
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    if (messages != nullptr) {
      *messages = text;
    } else {
      ADD_FAILURE() << text;
    }
    errors->Release();
  }
  if (FAILED(hr)) return {};
  const DWORD* begin = static_cast<const DWORD*>(code->GetBufferPointer());
  std::vector<DWORD> words(begin, begin + code->GetBufferSize() / sizeof(DWORD));
  code->Release();
  return words;
}

// CompileShader, then the shader of the code; null when either fails, a
// refused creation being a test failure.
inline HRESULT CreateShader(IDirect3DDevice9* device, const DWORD* code, IDirect3DVertexShader9** vs) {
  return device->CreateVertexShader(code, vs);
}
inline HRESULT CreateShader(IDirect3DDevice9* device, const DWORD* code, IDirect3DPixelShader9** ps) {
  return device->CreatePixelShader(code, ps);
}
template <typename Shader>
Shader* CompileAndCreate(IDirect3DDevice9* device, const char* source, const char* profile) {
  Shader* shader = nullptr;
  const std::vector<DWORD> code = CompileShader(source, profile);
  if (!code.empty()) {
    EXPECT_EQ(CreateShader(device, code.data(), &shader), D3D_OK);
  }
  return shader;
}
inline IDirect3DVertexShader9* CreateVertexShader(IDirect3DDevice9* device, const char* source, const char* profile) {
  return CompileAndCreate<IDirect3DVertexShader9>(device, source, profile);
}
inline IDirect3DPixelShader9* CreatePixelShader(IDirect3DDevice9* device, const char* source, const char* profile) {
  return CompileAndCreate<IDirect3DPixelShader9>(device, source, profile);
}

// Copies bytes to the start of a vertex or index buffer; Lock's result.
template <typename Buffer>
HRESULT Fill(Buffer* buffer, const void* data, size_t bytes) {
  void* p = nullptr;
  const HRESULT hr = buffer->Lock(0, 0, &p, 0);
  if (FAILED(hr)) return hr;
  std::memcpy(p, data, bytes);
  buffer->Unlock();
  return hr;
}

// The full-window quad: four managed vertices, corners clockwise from the
// top left with texture coordinates 0..1, and six 16-bit indices of two
// triangles. Colour the vertices with ColourFullQuad.
inline HRESULT CreateFullQuad(IDirect3DDevice9* device, IDirect3DVertexBuffer9** vb, IDirect3DIndexBuffer9** ib) {
  HRESULT hr = device->CreateVertexBuffer(4 * sizeof(Vertex), 0, 0, D3DPOOL_MANAGED, vb, nullptr);
  if (FAILED(hr)) return hr;
  const WORD indices[6] = {0, 1, 2, 0, 2, 3};
  hr = device->CreateIndexBuffer(sizeof(indices), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib, nullptr);
  if (FAILED(hr)) return hr;
  return Fill(*ib, indices, sizeof(indices));
}
inline HRESULT ColourFullQuad(IDirect3DVertexBuffer9* vb, D3DCOLOR c) {
  const Vertex quad[4] = {{-1, 1, 0.5f, 1, c, 0, 0, 0, 0},
                          {1, 1, 0.5f, 1, c, 1, 0, 0, 0},
                          {1, -1, 0.5f, 1, c, 1, 1, 0, 0},
                          {-1, -1, 0.5f, 1, c, 0, 1, 0, 0}};
  return Fill(vb, quad, sizeof(quad));
}
// Draws the quad of the bound vertex and index buffers.
inline HRESULT DrawFullQuad(IDirect3DDevice9* device) {
  return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
}

// The back buffer's pixel at Direct3D coordinates (x, y), as 0xRRGGBB, for a
// back buffer `height` rows high.
inline uint32_t BackBufferPixel(int x, int y, int height) {
  auto readPixels = reinterpret_cast<PFNGLREADPIXELSPROC>(SDL_GL_GetProcAddress("glReadPixels"));
  unsigned char rgba[4] = {};
  readPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return (uint32_t{rgba[0]} << 16) | (uint32_t{rgba[1]} << 8) | rgba[2];
}

// Releases the object, if any, and forgets it.
template <typename T>
void SafeRelease(T*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

}  // namespace quadkit
