// A model file read with Assimp into triangle meshes placed in world space
// by their scene-graph nodes. Everything Assimp hands back is checked
// before use: null or out-of-range scene-graph entries are skipped, and
// non-finite positions, normals or texture coordinates refuse the file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/gamemodel/ImportedMesh.h"

struct AssimpRead {
  std::vector<ImportedMesh> meshes;
  std::vector<std::string> notes;  // what was skipped, and why
  std::string reason;              // why nothing can be imported: what is wrong
  std::string advice;              // ... and what to do about it
};

// The format name given for a file no Assimp reader takes.
extern const char kNoAssimpReader[];

// Reads `path`. `onFormat` learns the name of the Assimp reader that took
// the file (or "no Assimp reader") as soon as Assimp has chosen it, before
// the reader runs. Returns false with `reason` and `advice` set when the
// file gives no triangle mesh to import. May throw std::bad_alloc.
bool ReadWithAssimp(const std::string& path, const std::function<void(const std::string&)>& onFormat, AssimpRead* read);

// How much a reader is allowed to ask for beyond what the process holds:
// a sane multiple of the file's size over a floor, under a fixed ceiling.
unsigned long long ReaderMemoryAllowance(unsigned long long fileBytes);
