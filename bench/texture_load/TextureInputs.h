// The inputs of the texture-loading benchmark, made at run time from a
// fixed seed (nothing large is kept in the repository): photo-like pictures,
// smooth gradients plus noise, so that PNG and JPEG compress as photographs
// do rather than as flat colour.
#pragma once

#include <string>
#include <vector>

struct TextureInput {
  std::string name;  // e.g. "png 4096x4096"
  std::string path;
};

// Writes every input into `dir` (which exists). False, with a message on
// standard error, when a file cannot be written.
bool MakeTextureInputs(const std::string& dir, std::vector<TextureInput>* inputs);
