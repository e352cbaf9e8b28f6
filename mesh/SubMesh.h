// CSubMesh: one sub-mesh of a GAMEMODEL file, as read.
#pragma once

#include <istream>
#include <vector>

#include "mesh/Vertex.h"

struct CSubMesh {
  CSubMesh();

  // Reads one sub-mesh record at the stream's position: record word, vertex
  // count, index count, vertices, indices.
  void Read(std::istream& stream);
  // Moves the sub-mesh to a new first vertex in the shared vertex buffer:
  // every index changes by the difference, modulo 65,536.
  void Rebase(WORD newBase);

  WORD m_baseVertex;
  DWORD m_fileWord;
  std::vector<CVertex> m_vertices;
  std::vector<WORD> m_indices;
};
