#include "assetgen/Generators.h"

#include <filesystem>

int GenerateModels(const std::string& dir) {
  std::filesystem::create_directories(dir);
  return 0;
}
