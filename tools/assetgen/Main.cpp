// assetgen: writes the demo's generated data.
// Usage: assetgen icons|texture|models DIR, or assetgen hicolor DIR NAME
#include <cstdio>
#include <cstring>
#include <string>

#include "assetgen/Generators.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "hicolor") == 0) return GenerateHicolorIcons(argv[2], argv[3]);
  if (argc != 3) {
    std::fprintf(stderr, "usage: assetgen icons|texture|models DIR, or assetgen hicolor DIR NAME\n");
    return 2;
  }
  const std::string what = argv[1];
  const std::string dir = argv[2];
  if (what == "icons") return GenerateIcons(dir);
  if (what == "texture") return GenerateTexture(dir);
  if (what == "models") return GenerateModels(dir);
  std::fprintf(stderr, "assetgen: unknown generator '%s'\n", argv[1]);
  return 2;
}
