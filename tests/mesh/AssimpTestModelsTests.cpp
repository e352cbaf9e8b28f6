// gamemodel import over every file of Debian's assimp-testmodels: no
// crash, no hang, every file either imported into a GAMEMODEL the loader
// reads, or refused in one line of our own words that names the file, the
// reader Assimp chose and what to do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "mesh/GameModel.h"
#include "mesh/GameModelBytes.h"

namespace {

namespace fs = std::filesystem;

const char kModels[] = "/usr/share/assimp/models";

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Quoted(const std::string& path) {
  std::string out = "'";
  for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct ImportRun {
  std::string in, out;
  int status = 0;  // as from system()
  std::string err;
  double seconds = 0;
};

// The reasons the tool gives, each opening with words of ours.
bool OurReason(const std::string& reason) {
  static const std::regex kOurs(
      "(neither its extension nor its first bytes|Assimp's reader could not read it \\(\"|"
      "Assimp's check of what its reader made found it broken \\(\"|Assimp's reader made a scene without|"
      "it is UTF-16 text|it holds no triangle mesh, only |it holds nothing at all|"
      "mesh [0-9]+( \\('.*'\\))? (has a non-finite|is placed by)|[0-9]+ vertices in all; |"
      "the import needed more than [0-9]+ MiB|the import took longer than|the import stopped on ).*");
  return std::regex_match(reason, kOurs);
}

TEST(AssimpTestModelsTest, EveryFileImportsOrIsRefusedInOurWords) {
  if (!fs::is_directory(kModels)) GTEST_SKIP() << kModels << " missing: install assimp-testmodels";
  std::vector<ImportRun> runs;
  for (const auto& entry : fs::recursive_directory_iterator(kModels)) {
    if (entry.is_regular_file()) runs.push_back({entry.path().string(), "", 0, "", 0});
  }
  std::sort(runs.begin(), runs.end(), [](const ImportRun& a, const ImportRun& b) { return a.in < b.in; });
  ASSERT_GT(runs.size(), 400u);

  gm::TempDir dir;
  std::atomic<size_t> next{0};
  auto worker = [&]() {
    for (size_t i = next++; i < runs.size(); i = next++) {
      ImportRun& run = runs[i];
      run.out = dir.Path(std::to_string(i) + ".GAMEMODEL");
      const std::string err = dir.Path(std::to_string(i) + ".err");
      // A hang shows as the outer timeout's kill, beyond the tool's own limit.
      const std::string command = "timeout -s KILL 150 '" + std::string(GAMEMODEL_TOOL) + "' import " + Quoted(run.in) +
                                  " " + Quoted(run.out) + " >/dev/null 2>" + Quoted(err);
      const auto start = std::chrono::steady_clock::now();
      run.status = std::system(command.c_str());
      run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      run.err = ReadAll(err);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < std::max(2u, std::thread::hardware_concurrency()); ++w) workers.emplace_back(worker);
  for (std::thread& t : workers) t.join();

  static const std::regex kRefusal(
      "error: (.*) \\((no Assimp reader|Assimp's .+|reader not yet chosen)\\): (.+); "
      "([^;]+); nothing written");
  std::map<std::string, std::pair<int, int>> byFormat;  // extension -> imported, refused
  size_t imported = 0;
  for (const ImportRun& run : runs) {
    SCOPED_TRACE(run.in);
    ASSERT_TRUE(WIFEXITED(run.status)) << "ended by a signal: " << run.err;
    const int code = WEXITSTATUS(run.status);
    std::string extension = fs::path(run.in).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    // Only the tool's notes before its last line.
    std::string last = run.err;
    while (!last.empty() && last.back() == '\n') last.pop_back();
    const size_t cut = last.rfind('\n');
    const std::string notes = cut == std::string::npos ? "" : last.substr(0, cut + 1);
    if (cut != std::string::npos) last = last.substr(cut + 1);
    for (size_t at = 0; at < notes.size(); at = notes.find('\n', at) + 1) {
      EXPECT_EQ(notes.compare(at, 11 + run.in.size() + 2, "gamemodel: " + run.in + ": "), 0) << notes;
    }
    if (code == 0) {
      ++imported;
      ++byFormat[extension].first;
      std::vector<CSubMesh> subMeshes;
      std::string reason;
      ASSERT_TRUE(ReadGameModel(ReadAll(run.out), &subMeshes, &reason)) << reason;
      for (const CSubMesh& s : subMeshes) {
        for (const CVertex& v : s.m_vertices) {
          ASSERT_TRUE(std::isfinite(v.m_position.x) && std::isfinite(v.m_position.y) && std::isfinite(v.m_position.z));
          ASSERT_TRUE(std::isfinite(v.m_normal.x) && std::isfinite(v.m_normal.y) && std::isfinite(v.m_normal.z));
          ASSERT_TRUE(std::isfinite(v.m_texCoord.x) && std::isfinite(v.m_texCoord.y));
        }
      }
      continue;
    }
    ++byFormat[extension].second;
    ASSERT_EQ(code, 1) << run.err;
    EXPECT_FALSE(fs::exists(run.out));
    std::smatch match;
    if (last == "error: " + run.in + ": missing or empty file; nothing written") continue;
    ASSERT_TRUE(std::regex_match(last, match, kRefusal)) << last;
    EXPECT_EQ(match[1].str(), run.in);
    EXPECT_TRUE(OurReason(match[3].str())) << last;
  }

  // Files whose outcome the tool must know how to tell.
  struct Known {
    const char* file;
    const char* words;  // "" for imported
  } const known[] = {
      {"RAW/WithColor.raw", ""},  // a null child in Assimp's scene graph
      {"invalid/OutOfMemory.off", "the import needed more than 512 MiB"},
      {"BVH/01_01.bvh", "only an animation skeleton"},
      {"CSM/ThomasFechten.csm", "only an animation skeleton"},
      {"glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", "has a non-finite position"},
      {"OBJ/box_UTF16BE.obj", "it is UTF-16 text"},
      {"PLY/points.ply", "only a point cloud"},
      {"OBJ/spider.obj", ""},
  };
  for (const Known& k : known) {
    const std::string path = std::string(kModels) + "/" + k.file;
    const auto run = std::find_if(runs.begin(), runs.end(), [&](const ImportRun& r) { return r.in == path; });
    if (run == runs.end()) continue;
    SCOPED_TRACE(k.file);
    EXPECT_EQ(WEXITSTATUS(run->status), *k.words == '\0' ? 0 : 1) << run->err;
    EXPECT_NE(run->err.find(k.words), std::string::npos) << run->err;
  }

  std::string table;
  double slowest = 0;
  for (const ImportRun& run : runs) slowest = std::max(slowest, run.seconds);
  for (const auto& f : byFormat) {
    table += "  " + f.first + " " + std::to_string(f.second.first) + "/" + std::to_string(f.second.second);
  }
  std::printf("%zu files: %zu imported, %zu refused; slowest %.1f s\nby extension, imported/refused:%s\n", runs.size(),
              imported, runs.size() - imported, slowest, table.c_str());
}

}  // namespace
