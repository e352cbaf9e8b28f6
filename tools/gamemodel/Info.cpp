#include "tools/gamemodel/Info.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <vector>

#include "mesh/GameModel.h"
#include "tools/gamemodel/Fit.h"

namespace {

bool ReadFile(const std::string& path, std::string* bytes) {
  try {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file) return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
  } catch (const std::exception&) {  // a folder: the file buffer throws
    return false;
  }
}

// Shortest text that reads back as the same float.
std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
  return text;
}

std::string Triple(const D3DXVECTOR3& v) { return "[" + Number(v.x) + "," + Number(v.y) + "," + Number(v.z) + "]"; }

}  // namespace

int Info(const std::string& path, bool json, bool withIndices) {
  std::string bytes;
  if (!ReadFile(path, &bytes) || bytes.empty()) {
    std::fprintf(stderr, "error: %s: missing or empty file\n", path.c_str());
    return 1;
  }
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  if (!ReadGameModel(bytes, &subMeshes, &reason)) {
    std::fprintf(stderr, "error: %s: %s\n", path.c_str(), reason.c_str());
    return 1;
  }
  PlaceSubMeshes(&subMeshes);
  const Bounds bounds = BoundsOf(subMeshes);

  unsigned long long vertices = 0, indices = 0, triangles = 0;
  for (const CSubMesh& s : subMeshes) {
    vertices += s.m_vertices.size();
    indices += s.m_indices.size();
    triangles += s.m_indices.size() / 3;
  }

  if (json) {
    std::string out = "{\"subMeshes\":[";
    unsigned long long start = 0;
    for (size_t k = 0; k < subMeshes.size(); ++k) {
      const CSubMesh& s = subMeshes[k];
      if (k != 0) out += ",";
      out += "{\"fileWord\":" + std::to_string(s.m_fileWord) + ",\"vertices\":" + std::to_string(s.m_vertices.size()) +
             ",\"indices\":" + std::to_string(s.m_indices.size()) +
             ",\"baseVertex\":" + std::to_string(s.m_baseVertex) + ",\"startIndex\":" + std::to_string(start);
      if (withIndices) {
        out += ",\"rebasedIndices\":[";
        for (size_t j = 0; j < s.m_indices.size(); ++j) {
          if (j != 0) out += ",";
          out += std::to_string(s.m_indices[j]);
        }
        out += "]";
      }
      out += "}";
      start += s.m_indices.size();
    }
    out += "],\"vertexBytes\":" + std::to_string(vertices * sizeof(CVertex)) +
           ",\"indexBytes\":" + std::to_string(indices * sizeof(WORD));
    if (!bounds.empty) out += ",\"bounds\":{\"min\":" + Triple(bounds.min) + ",\"max\":" + Triple(bounds.max) + "}";
    out += "}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
  }

  std::printf("%s: %zu sub-mesh%s\n", path.c_str(), subMeshes.size(), subMeshes.size() == 1 ? "" : "es");
  std::printf("  %4s %12s %8s %9s %8s %10s %9s\n", "#", "record word", "vertices", "indices", "base", "start",
              "triangles");
  unsigned long long start = 0;
  for (size_t k = 0; k < subMeshes.size(); ++k) {
    const CSubMesh& s = subMeshes[k];
    std::printf("  %4zu   0x%08lx %8zu %9zu %8u %10llu %9zu\n", k, static_cast<unsigned long>(s.m_fileWord),
                s.m_vertices.size(), s.m_indices.size(), static_cast<unsigned>(s.m_baseVertex), start,
                s.m_indices.size() / 3);
    start += s.m_indices.size();
  }
  std::printf("  total: %llu vertices (%llu bytes), %llu indices (%llu bytes), %llu triangles\n", vertices,
              vertices * sizeof(CVertex), indices, indices * sizeof(WORD), triangles);
  std::printf("  bounds: %s\n", bounds.Describe().c_str());
  return 0;
}
