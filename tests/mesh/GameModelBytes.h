// Raw GAMEMODEL bytes for the tests, field by field, so a test can write
// files the writer would refuse (cut short, counts that lie, bad indices).
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "mesh/LittleEndian.h"
#include "mesh/Vertex.h"

namespace gm {

// A vertex whose every field tells which vertex it is.
inline CVertex MakeVertex(int n) {
  CVertex v;
  const float f = static_cast<float>(n);
  v.m_position = D3DXVECTOR3(f, f + 0.5f, -f);
  v.m_normal = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
  v.m_normal1 = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
  v.m_normal2 = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
  v.m_texCoord = D3DXVECTOR4(f * 0.25f, f * 0.125f, 0.0f, 0.0f);
  v.m_color = 0xFF000000u | static_cast<uint32_t>(n);
  return v;
}

struct Record {
  uint32_t fileWord = 0;
  uint16_t vertexCount = 0;
  uint32_t indexCount = 0;
  std::vector<uint16_t> indices;  // written as given (indexCount may differ)
  int firstVertex = 0;            // MakeVertex(firstVertex + i) for vertex i
};

inline std::string VertexBytes(int first, int count) {
  std::string out(static_cast<size_t>(count) * sizeof(CVertex), '\0');
  for (int i = 0; i < count; ++i) {
    const CVertex v = MakeVertex(first + i);
    std::memcpy(&out[static_cast<size_t>(i) * sizeof(CVertex)], &v, sizeof(v));
  }
  return out;
}

inline std::string RecordBytes(const Record& r) {
  std::string out;
  AppendU32(&out, r.fileWord);
  AppendU16(&out, r.vertexCount);
  AppendU32(&out, r.indexCount);
  out += VertexBytes(r.firstVertex, r.vertexCount);
  for (uint16_t i : r.indices) AppendU16(&out, i);
  return out;
}

// A whole file: `header` (padded to 64), the count, the records, `trailer`.
inline std::string File(const std::vector<Record>& records, uint32_t count, char headerFill = '\0',
                        const std::string& trailer = "") {
  std::string out(64, headerFill);
  AppendU32(&out, count);
  for (const Record& r : records) out += RecordBytes(r);
  return out + trailer;
}
inline std::string File(const std::vector<Record>& records) {
  return File(records, static_cast<uint32_t>(records.size()));
}

inline Record Sub(uint16_t vertexCount, std::vector<uint16_t> indices, int firstVertex = 0, uint32_t fileWord = 0) {
  Record r;
  r.fileWord = fileWord;
  r.vertexCount = vertexCount;
  r.indexCount = static_cast<uint32_t>(indices.size());
  r.indices = std::move(indices);
  r.firstVertex = firstVertex;
  return r;
}

// The two-sub-mesh example: a triangle and a quad.
inline std::vector<Record> TriangleAndQuad() { return {Sub(3, {0, 1, 2}, 0), Sub(4, {0, 1, 2, 0, 2, 3}, 3)}; }

// A folder of its own under the system's temporary folder, removed with it.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("ostrevin-mesh-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = (m_path / name).string();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string Path(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

}  // namespace gm
