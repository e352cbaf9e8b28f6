// Bounding boxes of models, and fitting an imported model to the demo:
// its up axis, its size and where its origin lies.
#pragma once

#include <string>
#include <vector>

#include "mesh/SubMesh.h"
#include "tools/gamemodel/ImportedMesh.h"

struct Bounds {
  D3DXVECTOR3 min = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  D3DXVECTOR3 max = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  bool empty = true;

  void Grow(const std::vector<CVertex>& vertices);
  // "x -1.5 .. 1.5, y 0 .. 10, z -1.5 .. 1.5 (3 x 10 x 3)"
  std::string Describe() const;
};

Bounds BoundsOf(const std::vector<CSubMesh>& subMeshes);
Bounds BoundsOf(const std::vector<ImportedMesh>& meshes);

struct FitOptions {
  enum class Up { kY, kZ };
  enum class Origin { kKeep, kCenter, kBase };
  Up up = Up::kY;                 // the file's up axis; the demo's is +Y
  float size = 0.0f;              // the largest extent after fitting; 0 keeps the size
  Origin origin = Origin::kKeep;  // kCenter: the box's centre at 0; kBase: its bottom centre
};

// Turns a Z-up model upright (+Z becomes +Y, a rotation: winding kept),
// then moves and scales it as asked. Returns false with the reason when
// the model has no extent to scale.
bool Fit(const FitOptions& options, std::vector<ImportedMesh>* meshes, std::string* error);
