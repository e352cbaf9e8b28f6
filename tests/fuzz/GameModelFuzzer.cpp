// ReadGameModel over arbitrary bytes: never a crash, a hang or an
// allocation the input does not justify, and whatever it accepts is
// drawable: every placed index inside its sub-mesh's vertex range, and the
// writer's bytes read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/GameModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  if (!ReadGameModel(bytes, &subMeshes, &reason)) {
    if (!subMeshes.empty() || reason.empty()) std::abort();
    return 0;
  }

  size_t vertexBytes = 0;
  for (const CSubMesh& s : subMeshes) vertexBytes += s.m_vertices.size() * sizeof(CVertex);
  if (vertexBytes > size) std::abort();

  std::string written;
  if (!WriteGameModel(subMeshes, std::string(bytes, 0, 64), &written, &reason)) std::abort();
  std::vector<CSubMesh> again;
  if (!ReadGameModel(written, &again, &reason) || again.size() != subMeshes.size()) std::abort();

  PlaceSubMeshes(&subMeshes);
  uint32_t base = 0;
  for (size_t k = 0; k < subMeshes.size(); ++k) {
    const CSubMesh& s = subMeshes[k];
    if (s.m_baseVertex != base || again[k].m_indices.size() != s.m_indices.size()) std::abort();
    for (size_t j = 0; j < s.m_indices.size(); ++j) {
      if (s.m_indices[j] < base || s.m_indices[j] >= base + s.m_vertices.size()) std::abort();
      if (static_cast<uint16_t>(s.m_indices[j] - base) != again[k].m_indices[j]) std::abort();
    }
    if (std::memcmp(s.m_vertices.data(), again[k].m_vertices.data(), s.m_vertices.size() * sizeof(CVertex)) != 0) {
      std::abort();
    }
    base += static_cast<uint32_t>(s.m_vertices.size());
  }
  return 0;
}
