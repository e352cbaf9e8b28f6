// meshoptimizer over imported meshes: every import reorders triangles for
// the vertex cache and vertices for fetch order; a model over the vertex
// budget can be simplified until it fits.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/gamemodel/ImportedMesh.h"

// Vertex-cache then vertex-fetch order in each mesh; vertices no triangle
// uses are dropped.
void OptimizeForDrawing(std::vector<ImportedMesh>* meshes);

size_t VertexCount(const std::vector<ImportedMesh>& meshes);

// Removes triangles, every mesh in the same proportion, until the meshes
// together hold at most `maxVertices` vertices and none more than
// `maxPerMesh`. Returns false when even the coarsest reduction does not
// fit. `summary` says what was done: "126381 -> 61210 vertices, ...".
bool SimplifyToFit(std::vector<ImportedMesh>* meshes, size_t maxVertices, size_t maxPerMesh, std::string* summary);
