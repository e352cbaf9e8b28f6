#include "tools/gamemodel/Optimize.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cstdio>

namespace {

// Keeps only the vertices `mesh`'s triangles use, in the order they are
// first used, and renumbers the indices to match.
void CompactVertices(ImportedMesh* mesh) {
  std::vector<CVertex> vertices(mesh->vertices.size());
  const size_t used = meshopt_optimizeVertexFetch(vertices.data(), mesh->indices.data(), mesh->indices.size(),
                                                  mesh->vertices.data(), mesh->vertices.size(), sizeof(CVertex));
  vertices.resize(used);
  mesh->vertices = std::move(vertices);
}

// The mesh reduced to about `share` of its triangles (0 < share < 1). The
// attribute-aware simplifier first; where it stops short of the target
// (borders, seams), the position-only one.
ImportedMesh Reduced(const ImportedMesh& mesh, double share, float* error) {
  const size_t triangles = mesh.indices.size() / 3;
  const size_t target = std::max<size_t>(1, static_cast<size_t>(static_cast<double>(triangles) * share)) * 3;
  ImportedMesh out;
  out.name = mesh.name;
  out.indices.resize(mesh.indices.size());
  const float* positions = &mesh.vertices[0].m_position.x;
  float reached = 0.0f;
  size_t count = meshopt_simplify(out.indices.data(), mesh.indices.data(), mesh.indices.size(), positions,
                                  mesh.vertices.size(), sizeof(CVertex), target, 1.0f, 0, &reached);
  if (count > target + target / 4) {
    count = meshopt_simplifySloppy(out.indices.data(), mesh.indices.data(), mesh.indices.size(), positions,
                                   mesh.vertices.size(), sizeof(CVertex), target, 1.0f, &reached);
  }
  out.indices.resize(count);
  out.vertices = mesh.vertices;
  CompactVertices(&out);
  *error = std::max(*error, reached);
  return out;
}

bool Fits(const std::vector<ImportedMesh>& meshes, size_t maxVertices, size_t maxPerMesh) {
  if (VertexCount(meshes) > maxVertices) return false;
  for (const ImportedMesh& mesh : meshes) {
    if (mesh.vertices.size() > maxPerMesh) return false;
  }
  return true;
}

}  // namespace

size_t VertexCount(const std::vector<ImportedMesh>& meshes) {
  size_t total = 0;
  for (const ImportedMesh& mesh : meshes) total += mesh.vertices.size();
  return total;
}

void OptimizeForDrawing(std::vector<ImportedMesh>* meshes) {
  for (ImportedMesh& mesh : *meshes) {
    meshopt_optimizeVertexCache(mesh.indices.data(), mesh.indices.data(), mesh.indices.size(), mesh.vertices.size());
    CompactVertices(&mesh);
  }
}

bool SimplifyToFit(std::vector<ImportedMesh>* meshes, size_t maxVertices, size_t maxPerMesh, std::string* summary) {
  const size_t before = VertexCount(*meshes);
  size_t trianglesBefore = 0;
  for (const ImportedMesh& mesh : *meshes) trianglesBefore += mesh.indices.size() / 3;
  if (Fits(*meshes, maxVertices, maxPerMesh)) return true;

  // A first guess from the vertex counts, then smaller shares until it fits;
  // each try starts again from the full meshes.
  double share = 0.95 * static_cast<double>(maxVertices) / static_cast<double>(before);
  std::vector<ImportedMesh> reduced;
  float error = 0.0f;
  for (int attempt = 0; attempt < 16; ++attempt, share *= 0.8) {
    reduced.clear();
    error = 0.0f;
    for (const ImportedMesh& mesh : *meshes) {
      ImportedMesh smaller = Reduced(mesh, share, &error);
      if (!smaller.indices.empty()) reduced.push_back(std::move(smaller));
    }
    if (Fits(reduced, maxVertices, maxPerMesh)) break;
  }
  size_t trianglesAfter = 0;
  for (const ImportedMesh& mesh : reduced) trianglesAfter += mesh.indices.size() / 3;
  char text[200];
  std::snprintf(text, sizeof(text),
                "simplified from %zu to %zu vertices, %zu to %zu triangles (error %.2g%% of its size)", before,
                VertexCount(reduced), trianglesBefore, trianglesAfter, static_cast<double>(error) * 100.0);
  *summary = text;
  if (!Fits(reduced, maxVertices, maxPerMesh)) return false;
  *meshes = std::move(reduced);
  return true;
}
