#include "mesh/SubMesh.h"

CSubMesh::CSubMesh() : m_baseVertex(0), m_fileWord(0) {}

void CSubMesh::Read(std::istream& stream) {
  DWORD fileWord = 0;
  WORD vertexCount = 0;
  DWORD indexCount = 0;
  stream.read(reinterpret_cast<char*>(&fileWord), sizeof(fileWord));
  stream.read(reinterpret_cast<char*>(&vertexCount), sizeof(vertexCount));
  stream.read(reinterpret_cast<char*>(&indexCount), sizeof(indexCount));
  m_fileWord = fileWord;

  m_vertices.assign(vertexCount, CVertex());
  m_indices.assign(indexCount, 0);
  if (vertexCount != 0) {
    stream.read(reinterpret_cast<char*>(m_vertices.data()),
                static_cast<std::streamsize>(sizeof(CVertex)) * vertexCount);
  }
  if (indexCount != 0) {
    stream.read(reinterpret_cast<char*>(m_indices.data()),
                static_cast<std::streamsize>(sizeof(WORD)) * static_cast<std::streamsize>(indexCount));
  }
}

void CSubMesh::Rebase(WORD newBase) {
  const WORD difference = static_cast<WORD>(newBase - m_baseVertex);
  m_baseVertex = newBase;
  for (WORD& index : m_indices) {
    index = static_cast<WORD>(index + difference);
  }
}
