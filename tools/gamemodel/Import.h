// gamemodel import: a model file Assimp reads, made into a GAMEMODEL that
// the demo can draw. The reading runs in a sandboxed child; every refusal
// names the file, the reader Assimp chose, what is wrong and what to do.
#pragma once

#include <string>

#include "tools/gamemodel/Fit.h"

struct ImportOptions {
  FitOptions fit;
  bool simplify = false;  // over 65,536 vertices: reduce instead of refusing
};

// Returns the tool's exit code: 0 written, 1 refused or not written.
int Import(const std::string& in, const std::string& out, const ImportOptions& options);
