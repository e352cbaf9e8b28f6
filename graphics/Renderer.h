// CRenderer: the one graphics device manager. Owns the Direct3D object, the
// device, the vertex declaration of CVertex and the registries of
// everything made on the device.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

class CMesh;
struct CShader;
struct CTexture;

class CRenderer {
 public:
  static CRenderer& Instance();

  bool Init(HWND hWnd, UINT width, UINT height);
  void ReleaseAll();
  HRESULT Reset();

  CShader* LoadShader(const std::string& fileName, const std::string& entryPoint, const std::string& profile);
  CTexture* LoadTexture(const std::wstring& fileName);
  CMesh* CreateMesh(const std::string& fileName);

  bool RemoveIndexBuffer(IDirect3DIndexBuffer9* pIndexBuffer);
  bool RemoveVertexBuffer(IDirect3DVertexBuffer9* pVertexBuffer);

  IDirect3D9* m_pD3D;
  IDirect3DDevice9* m_pDevice;
  D3DPRESENT_PARAMETERS m_presentParams;
  std::vector<CTexture*> m_textures;
  std::vector<CShader*> m_shaders;
  std::vector<IDirect3DIndexBuffer9*> m_indexBuffers;
  std::vector<IDirect3DVertexBuffer9*> m_vertexBuffers;
  std::vector<CMesh*> m_meshes;
  IDirect3DVertexDeclaration9* m_pVertexDecl;
  // Why the last LoadShader, LoadTexture or CreateMesh failed, for the
  // start-up report.
  std::string m_lastError;

 private:
  CRenderer();
  ~CRenderer();
  CRenderer(const CRenderer&) = delete;
  CRenderer& operator=(const CRenderer&) = delete;
};
