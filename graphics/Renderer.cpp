#include "graphics/Renderer.h"

#include <d3dx9.h>

#include <algorithm>

#include "graphics/Shader.h"
#include "graphics/Texture.h"
#include "mesh/Mesh.h"
#include "mesh/Vertex.h"

namespace {

template <typename T>
void ReleaseAndNull(T*& p) {
  if (p != NULL) {
    p->Release();
    p = NULL;
  }
}

// Swap-with-last removal shared by both buffer registries.
template <typename T>
bool RemoveBuffer(std::vector<T*>& registry, T* pBuffer) {
  if (registry.empty()) {
    return false;
  }
  for (size_t i = 0; i < registry.size(); ++i) {
    if (registry[i] == pBuffer) {
      if (i + 1 != registry.size()) {
        std::swap(registry[i], registry.back());
      }
      pBuffer->Release();
      registry.pop_back();
      return true;
    }
  }
  return false;
}

std::string MessagesOf(ID3DXBuffer* pBuffer) {
  if (pBuffer == NULL || pBuffer->GetBufferSize() == 0) {
    return "no compiler messages";
  }
  const char* text = static_cast<const char*>(pBuffer->GetBufferPointer());
  std::string messages(text, pBuffer->GetBufferSize());
  while (!messages.empty() && (messages.back() == '\0' || messages.back() == '\n')) {
    messages.pop_back();
  }
  return messages;
}

// Texture and shader records outlive ReleaseAll, so that callers' pointers
// stay valid with null contents; they are freed when the process ends.
template <typename T>
class RecordStore {
 public:
  ~RecordStore() {
    for (T* p : m_records) delete p;
  }
  T* Make() {
    m_records.reserve(m_records.size() + 1);  // keeps the push below from throwing after new
    T* p = new T();
    m_records.push_back(p);
    return p;
  }
  void Free(T* p) {
    m_records.erase(std::remove(m_records.begin(), m_records.end(), p), m_records.end());
    delete p;
  }

 private:
  std::vector<T*> m_records;
};

RecordStore<CTexture>& TextureRecords() {
  static RecordStore<CTexture> s_store;
  return s_store;
}

RecordStore<CShader>& ShaderRecords() {
  static RecordStore<CShader> s_store;
  return s_store;
}

}  // namespace

CRenderer::CRenderer() : m_pD3D(NULL), m_pDevice(NULL), m_pVertexDecl(NULL) {
  ZeroMemory(&m_presentParams, sizeof(m_presentParams));
}

CRenderer::~CRenderer() {}

CRenderer& CRenderer::Instance() {
  static CRenderer s_instance;
  return s_instance;
}

bool CRenderer::Init(HWND hWnd, UINT width, UINT height) {
  m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (m_pD3D == NULL) {
    return false;
  }

  m_presentParams.BackBufferWidth = width;
  m_presentParams.BackBufferHeight = height;
  m_presentParams.BackBufferFormat = D3DFMT_X8R8G8B8;
  m_presentParams.BackBufferCount = 1;
  m_presentParams.MultiSampleType = D3DMULTISAMPLE_NONE;
  m_presentParams.MultiSampleQuality = 0;
  m_presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
  m_presentParams.hDeviceWindow = NULL;
  m_presentParams.Windowed = TRUE;
  m_presentParams.EnableAutoDepthStencil = TRUE;
  m_presentParams.AutoDepthStencilFormat = D3DFMT_D24S8;
  m_presentParams.Flags = 0;
  m_presentParams.FullScreen_RefreshRateInHz = 0;
  m_presentParams.PresentationInterval = D3DPRESENT_INTERVAL_ONE;

  if (FAILED(m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hWnd, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                  &m_presentParams, &m_pDevice))) {
    m_pDevice = NULL;
    return false;
  }
  // Without the declaration no model can be drawn: a failure here is the
  // device's failure (the device stays for ReleaseAll to release).
  if (FAILED(m_pDevice->CreateVertexDeclaration(g_vertexElements, &m_pVertexDecl))) {
    m_pVertexDecl = NULL;
    return false;
  }
  return true;
}

void CRenderer::ReleaseAll() {
  ReleaseAndNull(m_pVertexDecl);

  for (CTexture* pTexture : m_textures) {
    ReleaseAndNull(pTexture->m_pD3DTexture);
  }
  m_textures.clear();

  for (CShader* pShader : m_shaders) {
    ReleaseAndNull(pShader->m_pConstantTable);
    ReleaseAndNull(pShader->m_pCode);
    ReleaseAndNull(pShader->m_pErrorMessages);
    ReleaseAndNull(pShader->m_pShader);
  }
  m_shaders.clear();

  for (CMesh* pMesh : m_meshes) {
    delete pMesh;
  }
  m_meshes.clear();

  for (IDirect3DIndexBuffer9* pBuffer : m_indexBuffers) {
    pBuffer->Release();
  }
  m_indexBuffers.clear();
  for (IDirect3DVertexBuffer9* pBuffer : m_vertexBuffers) {
    pBuffer->Release();
  }
  m_vertexBuffers.clear();

  ReleaseAndNull(m_pDevice);
  ReleaseAndNull(m_pD3D);
}

HRESULT CRenderer::Reset() {
  for (CTexture* pTexture : m_textures) {
    ReleaseAndNull(pTexture->m_pD3DTexture);
  }
  HRESULT hr = m_pDevice->Reset(&m_presentParams);
  if (FAILED(hr)) {
    return hr;
  }
  for (CTexture* pTexture : m_textures) {
    D3DXCreateTextureFromFileW(m_pDevice, pTexture->GetFileName().c_str(), &pTexture->m_pD3DTexture);
  }
  return D3D_OK;
}

CShader* CRenderer::LoadShader(const std::string& fileName, const std::string& entryPoint,
                               const std::string& profile) {
  CShader* pShader = ShaderRecords().Make();
  if (FAILED(pShader->Compile(fileName, entryPoint, profile))) {
    // Nothing holds a failed record: free it and whatever the compiler returned.
    m_lastError = fileName + ": " + MessagesOf(pShader->m_pErrorMessages);
    ReleaseAndNull(pShader->m_pConstantTable);
    ReleaseAndNull(pShader->m_pCode);
    ReleaseAndNull(pShader->m_pErrorMessages);
    ShaderRecords().Free(pShader);
    return NULL;
  }

  const DWORD* pCode = static_cast<const DWORD*>(pShader->m_pCode->GetBufferPointer());
  if (pShader->m_bPixelShader) {
    IDirect3DPixelShader9* pPixelShader = NULL;
    m_pDevice->CreatePixelShader(pCode, &pPixelShader);
    pShader->m_pShader = pPixelShader;
  } else {
    IDirect3DVertexShader9* pVertexShader = NULL;
    m_pDevice->CreateVertexShader(pCode, &pVertexShader);
    pShader->m_pShader = pVertexShader;
  }
  pShader->m_pDevice = m_pDevice;
  m_shaders.push_back(pShader);
  return pShader;
}

CTexture* CRenderer::LoadTexture(const std::wstring& fileName) {
  for (CTexture* pTexture : m_textures) {
    if (pTexture->GetFileName() == fileName) {
      return pTexture;
    }
  }
  IDirect3DTexture9* pD3DTexture = NULL;
  const HRESULT hr = D3DXCreateTextureFromFileW(m_pDevice, fileName.c_str(), &pD3DTexture);
  if (FAILED(hr)) {
    m_lastError = std::string(fileName.begin(), fileName.end()) + ": " + DescribeTextureFailure(fileName, hr);
    return NULL;
  }
  CTexture* pTexture = TextureRecords().Make();
  pTexture->m_fileName = fileName;
  pTexture->m_pD3DTexture = pD3DTexture;
  if (pD3DTexture != NULL) {
    pD3DTexture->GetLevelDesc(0, &pTexture->m_surfaceDesc);
  }
  m_textures.push_back(pTexture);
  return pTexture;
}

CMesh* CRenderer::CreateMesh(const std::string& fileName) {
  CMesh* pMesh = new CMesh();
  if (!pMesh->Load(fileName)) {
    delete pMesh;
    return NULL;
  }
  m_meshes.push_back(pMesh);
  return pMesh;
}

bool CRenderer::RemoveIndexBuffer(IDirect3DIndexBuffer9* pIndexBuffer) {
  return RemoveBuffer(m_indexBuffers, pIndexBuffer);
}

bool CRenderer::RemoveVertexBuffer(IDirect3DVertexBuffer9* pVertexBuffer) {
  return RemoveBuffer(m_vertexBuffers, pVertexBuffer);
}
