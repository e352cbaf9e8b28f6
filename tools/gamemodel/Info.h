// gamemodel info: a GAMEMODEL file as the loader reads it, with its
// sub-meshes, totals and bounding box, as text or JSON.
#pragma once

#include <string>

// Returns the tool's exit code: 0 listed, 1 the loader refuses the file.
int Info(const std::string& path, bool json, bool withIndices);
