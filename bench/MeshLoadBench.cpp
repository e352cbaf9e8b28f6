// Load time of the largest GAMEMODEL through CMesh::Load on the recording
// fake device: 65,536 vertices in four sub-meshes, 200,000 indices (about
// 4.9 MB). The baseline is a memcpy of the same bytes in the same run; the
// stages (reading the file, validating, the whole load) are timed apart,
// and a single-call read of the file shows what reading could cost.
//
//   bench_mesh_load [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ReadWholeFile.h"
#include "fake/FakeDevice.h"
#include "graphics/Renderer.h"
#include "mesh/GameModel.h"
#include "mesh/Mesh.h"

namespace {

std::string LargestModel() {
  std::vector<CSubMesh> subMeshes(4);
  for (size_t k = 0; k < subMeshes.size(); ++k) {
    CSubMesh& s = subMeshes[k];
    s.m_vertices.resize(16384);
    for (size_t i = 0; i < s.m_vertices.size(); ++i) {
      const float f = static_cast<float>(i);
      s.m_vertices[i].m_position = D3DXVECTOR3(f, f * 0.5f, static_cast<float>(k));
      s.m_vertices[i].m_normal = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
      s.m_vertices[i].m_normal1 = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
      s.m_vertices[i].m_normal2 = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
      s.m_vertices[i].m_texCoord = D3DXVECTOR4(f / 64.0f, f / 128.0f, 0.0f, 0.0f);
      s.m_vertices[i].m_color = 0xFFFFFFFFu;
    }
    s.m_indices.resize(50000);
    for (size_t j = 0; j < s.m_indices.size(); ++j) {
      s.m_indices[j] = static_cast<WORD>((j * 7919u) % s.m_vertices.size());
    }
  }
  std::string bytes, reason;
  if (!WriteGameModel(subMeshes, "bench", &bytes, &reason)) {
    std::fprintf(stderr, "bench_mesh_load: %s\n", reason.c_str());
    std::exit(1);
  }
  return bytes;
}

template <typename F>
double BestSeconds(int repetitions, F&& f) {
  double best = 1e30;
  for (int r = 0; r < repetitions; ++r) {
    const auto start = std::chrono::steady_clock::now();
    f();
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  const std::string bytes = LargestModel();
  const std::string path =
      (std::filesystem::temp_directory_path() / ("ostrevin-bench-" + std::to_string(std::rand()) + ".GAMEMODEL"))
          .string();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  CRenderer& renderer = CRenderer::Instance();
  if (!renderer.Init(reinterpret_cast<HWND>(static_cast<uintptr_t>(1)), 800, 600)) {
    std::fprintf(stderr, "bench_mesh_load: no fake device\n");
    return 1;
  }

  std::vector<char> target(bytes.size());
  volatile char sink = 0;
  const double copy = BestSeconds(repetitions, [&] {
    std::memcpy(target.data(), bytes.data(), bytes.size());
    sink = sink + target[target.size() / 2];
  });
  const double read = BestSeconds(repetitions, [&] { sink = sink + ReadWholeFile(path)[100]; });
  // The same file in one read call: what a file read costs at best.
  const double readAtOnce = BestSeconds(repetitions, [&] {
    std::ifstream file(path, std::ios::binary);
    std::string whole(bytes.size(), '\0');
    file.read(&whole[0], static_cast<std::streamsize>(whole.size()));
    sink = sink + whole[100];
  });
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  const double validate = BestSeconds(repetitions, [&] {
    if (!ReadGameModel(bytes, &subMeshes, &reason)) std::exit(1);
  });
  bool loaded = true;
  const double load = BestSeconds(repetitions, [&] {
    CMesh mesh;
    loaded = loaded && mesh.Load(path);
    fake::Clear();
  });
  renderer.ReleaseAll();
  std::filesystem::remove(path);
  if (!loaded) {
    std::fprintf(stderr, "bench_mesh_load: Load failed: %s\n", renderer.m_lastError.c_str());
    return 1;
  }

  const double mb = static_cast<double>(bytes.size()) / 1e6;
  std::printf("GAMEMODEL load: 65536 vertices, 200000 indices, %.2f MB, best of %d\n", mb, repetitions);
  std::printf("  memcpy (baseline)         %8.3f ms  %8.0f MB/s\n", copy * 1e3, mb / copy);
  std::printf("  one read() of the file    %8.3f ms  %8.0f MB/s  %6.1fx memcpy\n", readAtOnce * 1e3, mb / readAtOnce,
              readAtOnce / copy);
  std::printf("  ReadWholeFile             %8.3f ms  %8.0f MB/s  %6.1fx memcpy\n", read * 1e3, mb / read, read / copy);
  std::printf("  ReadGameModel             %8.3f ms  %8.0f MB/s  %6.1fx memcpy\n", validate * 1e3, mb / validate,
              validate / copy);
  std::printf("  CMesh::Load (fake dev.)   %8.3f ms  %8.0f MB/s  %6.1fx memcpy\n", load * 1e3, mb / load, load / copy);
  return 0;
}
