#include "tools/gamemodel/Fit.h"

#include <algorithm>
#include <cstdio>

namespace {

// (x, y, z) -> (x, z, -y): a quarter turn about X that stands +Z up.
D3DXVECTOR3 ZUpToYUp(const D3DXVECTOR3& v) { return D3DXVECTOR3(v.x, v.z, -v.y); }

}  // namespace

void Bounds::Grow(const std::vector<CVertex>& vertices) {
  for (const CVertex& v : vertices) {
    if (empty) {
      min = max = v.m_position;
      empty = false;
      continue;
    }
    min =
        D3DXVECTOR3(std::min(min.x, v.m_position.x), std::min(min.y, v.m_position.y), std::min(min.z, v.m_position.z));
    max =
        D3DXVECTOR3(std::max(max.x, v.m_position.x), std::max(max.y, v.m_position.y), std::max(max.z, v.m_position.z));
  }
}

std::string Bounds::Describe() const {
  if (empty) return "empty";
  char text[256];
  std::snprintf(text, sizeof(text), "x %g .. %g, y %g .. %g, z %g .. %g (%g x %g x %g)", min.x, max.x, min.y, max.y,
                min.z, max.z, max.x - min.x, max.y - min.y, max.z - min.z);
  return text;
}

Bounds BoundsOf(const std::vector<CSubMesh>& subMeshes) {
  Bounds bounds;
  for (const CSubMesh& subMesh : subMeshes) bounds.Grow(subMesh.m_vertices);
  return bounds;
}

Bounds BoundsOf(const std::vector<ImportedMesh>& meshes) {
  Bounds bounds;
  for (const ImportedMesh& mesh : meshes) bounds.Grow(mesh.vertices);
  return bounds;
}

bool Fit(const FitOptions& options, std::vector<ImportedMesh>* meshes, std::string* error) {
  if (options.up == FitOptions::Up::kZ) {
    for (ImportedMesh& mesh : *meshes) {
      for (CVertex& v : mesh.vertices) {
        v.m_position = ZUpToYUp(v.m_position);
        v.m_normal = ZUpToYUp(v.m_normal);
        v.m_normal1 = ZUpToYUp(v.m_normal1);
        v.m_normal2 = ZUpToYUp(v.m_normal2);
      }
    }
  }
  if (options.size <= 0.0f && options.origin == FitOptions::Origin::kKeep) return true;

  const Bounds bounds = BoundsOf(*meshes);
  // Halves first: the sum of two large finite coordinates may not be finite.
  D3DXVECTOR3 anchor(bounds.min.x / 2 + bounds.max.x / 2, bounds.min.y / 2 + bounds.max.y / 2,
                     bounds.min.z / 2 + bounds.max.z / 2);
  if (options.origin == FitOptions::Origin::kBase) anchor.y = bounds.min.y;
  if (options.origin == FitOptions::Origin::kKeep) anchor = D3DXVECTOR3(0.0f, 0.0f, 0.0f);

  double scale = 1.0;
  if (options.size > 0.0f) {
    const double extent =
        std::max({static_cast<double>(bounds.max.x) - bounds.min.x, static_cast<double>(bounds.max.y) - bounds.min.y,
                  static_cast<double>(bounds.max.z) - bounds.min.z});
    if (!(extent > 0.0)) {
      *error = "the model is a single point: it has no size to fit";
      return false;
    }
    scale = options.size / extent;
  }
  for (ImportedMesh& mesh : *meshes) {
    for (CVertex& v : mesh.vertices) {
      v.m_position = D3DXVECTOR3(static_cast<float>((static_cast<double>(v.m_position.x) - anchor.x) * scale),
                                 static_cast<float>((static_cast<double>(v.m_position.y) - anchor.y) * scale),
                                 static_cast<float>((static_cast<double>(v.m_position.z) - anchor.z) * scale));
    }
  }
  return true;
}
