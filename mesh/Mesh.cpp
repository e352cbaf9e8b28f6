#include "mesh/Mesh.h"

#include <cstring>
#include <exception>

#include "common/ReadWholeFile.h"
#include "graphics/Renderer.h"
#include "mesh/GameModel.h"

namespace {

std::string HexOf(HRESULT hr) {
  static const char kDigits[] = "0123456789abcdef";
  const DWORD value = static_cast<DWORD>(hr);
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text.push_back(kDigits[(value >> shift) & 0xF]);
  }
  return text;
}

}  // namespace

CMesh::CMesh() : m_pIndexBuffer(NULL), m_pVertexBuffer(NULL) {}

CMesh::~CMesh() { ReleaseBuffers(); }

void CMesh::ReleaseBuffers() {
  CRenderer& renderer = CRenderer::Instance();
  if (m_pVertexBuffer != NULL) {
    renderer.RemoveVertexBuffer(m_pVertexBuffer);
    m_pVertexBuffer = NULL;
  }
  if (m_pIndexBuffer != NULL) {
    renderer.RemoveIndexBuffer(m_pIndexBuffer);
    m_pIndexBuffer = NULL;
  }
}

bool CMesh::Load(const std::string& fileName) {
  CRenderer& renderer = CRenderer::Instance();
  // Reading never throws out of Load: a folder named like the file makes
  // the standard library's file buffer throw, and memory can run out.
  std::string bytes;
  std::string reason;
  bool read = false;
  try {
    bytes = ReadWholeFile(fileName);
    if (bytes.empty()) {
      reason = "missing or empty file";
    } else {
      read = ReadGameModel(bytes, &m_subMeshes, &reason);
    }
  } catch (const std::exception& e) {
    m_subMeshes.clear();
    reason = bytes.empty() ? "missing or empty file" : std::string("cannot read: ") + e.what();
  }
  if (!read) {
    renderer.m_lastError = fileName + ": " + reason;
    return false;
  }
  DWORD vertexTotal = 0;
  DWORD indexTotal = 0;
  for (const CSubMesh& subMesh : m_subMeshes) {
    vertexTotal += static_cast<DWORD>(subMesh.m_vertices.size());
    indexTotal += static_cast<DWORD>(subMesh.m_indices.size());
  }

  IDirect3DDevice9* pDevice = renderer.m_pDevice;
  if (pDevice == NULL) {
    renderer.m_lastError = fileName + ": no device";
    return false;
  }

  IDirect3DVertexBuffer9* pVertexBuffer = NULL;
  HRESULT hr = pDevice->CreateVertexBuffer(vertexTotal * kVertexStride, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                           &pVertexBuffer, NULL);
  if (pVertexBuffer == NULL) {
    // A model without sub-meshes asks for an empty buffer, which the device
    // refuses: say so rather than leave the user with the device's code.
    renderer.m_lastError = fileName + (m_subMeshes.empty() ? ": holds no sub-meshes (" : ": CreateVertexBuffer failed (") +
                           HexOf(hr) + ")";
    return false;
  }
  renderer.m_vertexBuffers.push_back(pVertexBuffer);
  m_pVertexBuffer = pVertexBuffer;

  IDirect3DIndexBuffer9* pIndexBuffer = NULL;
  hr = pDevice->CreateIndexBuffer(indexTotal * static_cast<UINT>(sizeof(WORD)), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                  D3DPOOL_MANAGED, &pIndexBuffer, NULL);
  if (pIndexBuffer == NULL) {
    renderer.m_lastError = fileName + ": CreateIndexBuffer failed (" + HexOf(hr) + ")";
    ReleaseBuffers();
    return false;
  }
  renderer.m_indexBuffers.push_back(pIndexBuffer);
  m_pIndexBuffer = pIndexBuffer;

  void* pData = NULL;
  hr = m_pVertexBuffer->Lock(0, 0, &pData, 0);
  if (FAILED(hr)) {
    renderer.m_lastError = fileName + ": locking the vertex buffer failed (" + HexOf(hr) + ")";
    ReleaseBuffers();
    return false;
  }
  unsigned char* pCursor = static_cast<unsigned char*>(pData);
  DWORD runningBase = 0;
  for (CSubMesh& subMesh : m_subMeshes) {
    const size_t length = subMesh.m_vertices.size() * sizeof(CVertex);
    std::memcpy(pCursor, subMesh.m_vertices.data(), length);
    PlaceSubMesh(&subMesh, &runningBase);
    pCursor += length;
  }
  m_pVertexBuffer->Unlock();

  hr = m_pIndexBuffer->Lock(0, 0, &pData, 0);
  if (FAILED(hr)) {
    renderer.m_lastError = fileName + ": locking the index buffer failed (" + HexOf(hr) + ")";
    ReleaseBuffers();
    return false;
  }
  pCursor = static_cast<unsigned char*>(pData);
  for (const CSubMesh& subMesh : m_subMeshes) {
    const size_t length = subMesh.m_indices.size() * sizeof(WORD);
    std::memcpy(pCursor, subMesh.m_indices.data(), length);
    pCursor += length;
  }
  m_pIndexBuffer->Unlock();
  return true;
}

void CMesh::Draw(IDirect3DDevice9* pDevice) {
  UINT startIndex = 0;
  for (const CSubMesh& subMesh : m_subMeshes) {
    const UINT indexCount = static_cast<UINT>(subMesh.m_indices.size());
    pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, subMesh.m_baseVertex,
                                  static_cast<UINT>(subMesh.m_vertices.size()), startIndex, indexCount / 3);
    startIndex += indexCount;
  }
}
