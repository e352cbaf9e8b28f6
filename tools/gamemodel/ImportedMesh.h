// One triangle mesh on its way from an imported file to a GAMEMODEL
// sub-mesh: any number of vertices, 32-bit indices local to the mesh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Vertex.h"

struct ImportedMesh {
  std::string name;  // for messages: "mesh 2 ('Body')"
  std::vector<CVertex> vertices;
  std::vector<uint32_t> indices;  // a triangle list
};
