// gamemodel: looks into GAMEMODEL files with the loader's own reading code,
// and converts models Assimp reads into GAMEMODEL files that fit the demo.
//
//   gamemodel info [--json [--indices]] FILE
//   gamemodel import [--fit SIZE] [--origin center|base] [--up y|z] [--simplify] IN OUT
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/gamemodel/Import.h"
#include "tools/gamemodel/Info.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: gamemodel info [--json [--indices]] FILE\n"
               "       gamemodel import [--fit SIZE] [--origin center|base] [--up y|z] [--simplify] IN OUT\n"
               "  --fit SIZE       scale the model so that its largest extent is SIZE\n"
               "  --origin center  move the centre of its bounding box to the origin\n"
               "  --origin base    move the bottom centre of its bounding box to the origin\n"
               "  --up z           the file's up axis is +Z: stand it up along +Y (default: y)\n"
               "  --simplify       over 65,536 vertices, reduce the model until it fits\n");
  return 2;
}

int InfoCommand(const std::vector<std::string>& args) {
  bool json = false, withIndices = false;
  std::string file;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--indices") {
      withIndices = true;
    } else if (file.empty()) {
      file = args[i];
    } else {
      return Usage();
    }
  }
  if (file.empty() || (withIndices && !json)) return Usage();
  return Info(file, json, withIndices);
}

int ImportCommand(const std::vector<std::string>& args) {
  ImportOptions options;
  std::vector<std::string> files;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--fit" && hasValue) {
      char* end = nullptr;
      const float size = std::strtof(args[++i].c_str(), &end);
      if (end == args[i].c_str() || *end != '\0' || !std::isfinite(size) || size <= 0.0f) {
        std::fprintf(stderr, "error: --fit takes a size above 0, not '%s'\n", args[i].c_str());
        return 2;
      }
      options.fit.size = size;
    } else if (a == "--origin" && hasValue && (args[i + 1] == "center" || args[i + 1] == "base")) {
      options.fit.origin = args[++i] == "center" ? FitOptions::Origin::kCenter : FitOptions::Origin::kBase;
    } else if (a == "--up" && hasValue && (args[i + 1] == "y" || args[i + 1] == "z")) {
      options.fit.up = args[++i] == "z" ? FitOptions::Up::kZ : FitOptions::Up::kY;
    } else if (a == "--simplify") {
      options.simplify = true;
    } else if (a.rfind("--", 0) == 0) {
      return Usage();
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return Usage();
  return Import(files[0], files[1], options);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  if (args[0] == "info") return InfoCommand(args);
  if (args[0] == "import") return ImportCommand(args);
  return Usage();
}
