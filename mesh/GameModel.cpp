#include "mesh/GameModel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <istream>
#include <streambuf>
#include <utility>

#include "mesh/LittleEndian.h"

namespace {

// An input stream buffer over bytes held elsewhere: the sub-meshes read
// straight from the caller's string, without a second copy of the file.
class CByteStreamBuf : public std::streambuf {
 public:
  CByteStreamBuf(const char* begin, size_t size) {
    char* first = const_cast<char*>(begin);
    setg(first, first, first + size);
  }
};

bool Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) {
    *error = reason;
  }
  return false;
}

std::string SubMeshName(uint64_t k) { return "sub-mesh " + std::to_string(k); }

}  // namespace

bool ReadGameModel(const std::string& bytes, std::vector<CSubMesh>* subMeshes, std::string* error) {
  subMeshes->clear();
  const uint64_t size = bytes.size();
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (size < kGameModelHeaderSize + 4) {
    return Fail(error, "file too short for the 64-byte header and the sub-mesh count (" + std::to_string(size) +
                           " bytes)");
  }

  CByteStreamBuf buffer(bytes.data(), bytes.size());
  std::istream stream(&buffer);
  char header[kGameModelHeaderSize];
  stream.read(header, sizeof(header));
  DWORD count = 0;
  stream.read(reinterpret_cast<char*>(&count), sizeof(count));

  // Every record holds at least one vertex and one index: never reserve more
  // records than the bytes left could hold.
  uint64_t pos = kGameModelHeaderSize + 4;
  const uint64_t smallestRecord = kSubMeshRecordSize + sizeof(CVertex) + sizeof(WORD);
  const uint64_t declared = ReadU32(data + kGameModelHeaderSize);
  subMeshes->reserve(static_cast<size_t>(std::min<uint64_t>(declared, (size - pos) / smallestRecord)));

  uint64_t vertexTotal = 0;
  for (uint64_t k = 0; k < declared; ++k) {
    const uint64_t left = size - pos;
    if (left == 0) {
      subMeshes->clear();
      return Fail(error, "declares " + std::to_string(declared) + " sub-meshes but holds only " + std::to_string(k));
    }
    if (left < kSubMeshRecordSize) {
      subMeshes->clear();
      return Fail(error, "file ends inside " + SubMeshName(k) + "'s record (vertex and index counts)");
    }
    const uint64_t vertexCount = ReadU16(data + pos + 4);
    const uint64_t indexCount = ReadU32(data + pos + 6);
    if (vertexCount == 0) {
      subMeshes->clear();
      return Fail(error, SubMeshName(k) + " has no vertices");
    }
    if (indexCount == 0) {
      subMeshes->clear();
      return Fail(error, SubMeshName(k) + " has no indices");
    }
    const uint64_t vertexBytes = vertexCount * sizeof(CVertex);
    const uint64_t indexBytes = indexCount * sizeof(WORD);
    if (left - kSubMeshRecordSize < vertexBytes) {
      subMeshes->clear();
      return Fail(error, "file ends inside " + SubMeshName(k) + "'s vertex array");
    }
    if (left - kSubMeshRecordSize - vertexBytes < indexBytes) {
      subMeshes->clear();
      return Fail(error, "file ends inside " + SubMeshName(k) + "'s index array");
    }
    vertexTotal += vertexCount;
    if (vertexTotal > kMaxGameModelVertices) {
      subMeshes->clear();
      return Fail(error, "vertex counts add up to more than 65,536 (" + std::to_string(vertexTotal) + " by " +
                             SubMeshName(k) + ")");
    }

    // The record fits: read it the format's way, from the stream.
    subMeshes->emplace_back();
    CSubMesh& subMesh = subMeshes->back();
    subMesh.Read(stream);
    for (size_t j = 0; j < subMesh.m_indices.size(); ++j) {
      if (subMesh.m_indices[j] >= vertexCount) {
        const std::string reason = SubMeshName(k) + "'s index " + std::to_string(j) + " is " +
                                   std::to_string(subMesh.m_indices[j]) + ", not less than its vertex count " +
                                   std::to_string(vertexCount);
        subMeshes->clear();
        return Fail(error, reason);
      }
    }
    pos += kSubMeshRecordSize + vertexBytes + indexBytes;
  }
  if (!stream) {
    subMeshes->clear();
    return Fail(error, "read past the end of the bytes");
  }
  return true;
}

void PlaceSubMesh(CSubMesh* subMesh, DWORD* runningBase) {
  subMesh->Rebase(static_cast<WORD>(*runningBase & 0xFFFFu));
  *runningBase += static_cast<DWORD>(subMesh->m_vertices.size());
}

void PlaceSubMeshes(std::vector<CSubMesh>* subMeshes) {
  DWORD runningBase = 0;
  for (CSubMesh& subMesh : *subMeshes) {
    PlaceSubMesh(&subMesh, &runningBase);
  }
}

bool WriteGameModel(const std::vector<CSubMesh>& subMeshes, const std::string& header, std::string* bytes,
                    std::string* error) {
  uint64_t vertexTotal = 0;
  uint64_t size = kGameModelHeaderSize + 4;
  for (size_t k = 0; k < subMeshes.size(); ++k) {
    const CSubMesh& subMesh = subMeshes[k];
    if (subMesh.m_vertices.empty()) return Fail(error, SubMeshName(k) + " has no vertices");
    if (subMesh.m_indices.empty()) return Fail(error, SubMeshName(k) + " has no indices");
    if (subMesh.m_vertices.size() > 65535) {
      return Fail(error, SubMeshName(k) + " has " + std::to_string(subMesh.m_vertices.size()) +
                             " vertices; one sub-mesh holds at most 65,535");
    }
    const uint64_t indexCount = subMesh.m_indices.size();
    if (indexCount > 0xFFFFFFFFu) return Fail(error, SubMeshName(k) + " has too many indices");
    vertexTotal += subMesh.m_vertices.size();
    if (vertexTotal > kMaxGameModelVertices) {
      return Fail(error, "vertex counts add up to more than 65,536 (" + std::to_string(vertexTotal) + " by " +
                             SubMeshName(k) + ")");
    }
    for (size_t j = 0; j < subMesh.m_indices.size(); ++j) {
      const WORD local = static_cast<WORD>(subMesh.m_indices[j] - subMesh.m_baseVertex);
      if (local >= subMesh.m_vertices.size()) {
        return Fail(error, SubMeshName(k) + "'s index " + std::to_string(j) + " is " + std::to_string(local) +
                               ", not less than its vertex count " + std::to_string(subMesh.m_vertices.size()));
      }
    }
    size += kSubMeshRecordSize + subMesh.m_vertices.size() * sizeof(CVertex) + subMesh.m_indices.size() * 2;
  }

  std::string out;
  out.reserve(static_cast<size_t>(size));
  out.append(header.substr(0, kGameModelHeaderSize));
  out.resize(kGameModelHeaderSize, '\0');
  AppendU32(&out, static_cast<uint32_t>(subMeshes.size()));
  for (const CSubMesh& subMesh : subMeshes) {
    AppendU32(&out, subMesh.m_fileWord);
    AppendU16(&out, static_cast<uint16_t>(subMesh.m_vertices.size()));
    AppendU32(&out, static_cast<uint32_t>(subMesh.m_indices.size()));
    // CVertex is the file's record on every little-endian target we build for.
    const size_t at = out.size();
    out.resize(at + subMesh.m_vertices.size() * sizeof(CVertex));
    std::memcpy(&out[at], subMesh.m_vertices.data(), subMesh.m_vertices.size() * sizeof(CVertex));
    for (WORD index : subMesh.m_indices) {
      AppendU16(&out, static_cast<uint16_t>(index - subMesh.m_baseVertex));
    }
  }
  *bytes = std::move(out);
  return true;
}
