// CMesh: one GAMEMODEL file in one vertex buffer and one 16-bit index buffer,
// drawn as one indexed triangle list per sub-mesh.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

#include "mesh/SubMesh.h"

class CMesh {
 public:
  CMesh();
  virtual ~CMesh();
  virtual bool Load(const std::string& fileName);

  void Draw(IDirect3DDevice9* pDevice);
  void ReleaseBuffers();

  std::vector<CSubMesh> m_subMeshes;
  IDirect3DIndexBuffer9* m_pIndexBuffer;
  IDirect3DVertexBuffer9* m_pVertexBuffer;
};
