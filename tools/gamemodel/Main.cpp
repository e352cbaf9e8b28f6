// gamemodel: looks into GAMEMODEL files with the loader's own reading code,
// and converts models Assimp reads into GAMEMODEL.
//
//   gamemodel info [--json [--indices]] FILE
//   gamemodel import IN OUT
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mesh/GameModel.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: gamemodel info [--json [--indices]] FILE\n"
               "       gamemodel import IN OUT\n");
  return 2;
}

int Error(const std::string& reason) {
  std::fprintf(stderr, "error: %s\n", reason.c_str());
  return 1;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  try {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file) return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
  } catch (const std::exception&) {  // a folder: the file buffer throws
    return false;
  }
}

int Info(const std::string& path, bool json, bool withIndices) {
  std::string bytes;
  if (!ReadFile(path, &bytes) || bytes.empty()) return Error(path + ": missing or empty file");
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  if (!ReadGameModel(bytes, &subMeshes, &reason)) return Error(path + ": " + reason);
  PlaceSubMeshes(&subMeshes);

  unsigned long long vertices = 0, indices = 0, triangles = 0;
  for (const CSubMesh& s : subMeshes) {
    vertices += s.m_vertices.size();
    indices += s.m_indices.size();
    triangles += s.m_indices.size() / 3;
  }

  if (json) {
    std::string out = "{\"subMeshes\":[";
    unsigned long long start = 0;
    for (size_t k = 0; k < subMeshes.size(); ++k) {
      const CSubMesh& s = subMeshes[k];
      if (k != 0) out += ",";
      out += "{\"fileWord\":" + std::to_string(s.m_fileWord) + ",\"vertices\":" + std::to_string(s.m_vertices.size()) +
             ",\"indices\":" + std::to_string(s.m_indices.size()) + ",\"baseVertex\":" +
             std::to_string(s.m_baseVertex) + ",\"startIndex\":" + std::to_string(start);
      if (withIndices) {
        out += ",\"rebasedIndices\":[";
        for (size_t j = 0; j < s.m_indices.size(); ++j) {
          if (j != 0) out += ",";
          out += std::to_string(s.m_indices[j]);
        }
        out += "]";
      }
      out += "}";
      start += s.m_indices.size();
    }
    out += "],\"vertexBytes\":" + std::to_string(vertices * sizeof(CVertex)) +
           ",\"indexBytes\":" + std::to_string(indices * sizeof(WORD)) + "}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
  }

  std::printf("%s: %zu sub-mesh%s\n", path.c_str(), subMeshes.size(), subMeshes.size() == 1 ? "" : "es");
  std::printf("  %4s %12s %8s %9s %8s %10s %9s\n", "#", "record word", "vertices", "indices", "base", "start", "triangles");
  unsigned long long start = 0;
  for (size_t k = 0; k < subMeshes.size(); ++k) {
    const CSubMesh& s = subMeshes[k];
    std::printf("  %4zu   0x%08lx %8zu %9zu %8u %10llu %9zu\n", k, static_cast<unsigned long>(s.m_fileWord),
                s.m_vertices.size(), s.m_indices.size(), static_cast<unsigned>(s.m_baseVertex), start,
                s.m_indices.size() / 3);
    start += s.m_indices.size();
  }
  std::printf("  total: %llu vertices (%llu bytes), %llu indices (%llu bytes), %llu triangles\n", vertices,
              vertices * sizeof(CVertex), indices, indices * sizeof(WORD), triangles);
  return 0;
}

DWORD ColorOf(const aiColor4D& c) {
  auto channel = [](float f) {
    const float clamped = std::min(1.0f, std::max(0.0f, f));
    return static_cast<DWORD>(clamped * 255.0f + 0.5f);
  };
  return (channel(c.a) << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

D3DXVECTOR3 Vec(const aiVector3D& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

// One sub-mesh of `mesh` as placed by `transform` (the node's world matrix).
bool ConvertMesh(const aiMesh& mesh, const aiMatrix4x4& transform, size_t k, CSubMesh* out, std::string* error) {
  const std::string name = "mesh " + std::to_string(k) + (mesh.mName.length != 0 ? " ('" + std::string(mesh.mName.C_Str()) + "')" : "");
  if (mesh.mNumVertices > 65535) {
    *error = name + " has " + std::to_string(mesh.mNumVertices) +
             " vertices; one GAMEMODEL sub-mesh holds at most 65,535";
    return false;
  }
  aiMatrix3x3 normalMatrix(transform);
  normalMatrix.Inverse().Transpose();

  out->m_fileWord = 0;
  out->m_vertices.resize(mesh.mNumVertices);
  for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
    CVertex& v = out->m_vertices[i];
    v.m_position = Vec(transform * mesh.mVertices[i]);
    aiVector3D n = mesh.HasNormals() ? normalMatrix * mesh.mNormals[i] : aiVector3D(0, 1, 0);
    aiVector3D t = mesh.HasTangentsAndBitangents() ? aiMatrix3x3(transform) * mesh.mTangents[i] : aiVector3D(1, 0, 0);
    aiVector3D b = mesh.HasTangentsAndBitangents() ? aiMatrix3x3(transform) * mesh.mBitangents[i] : aiVector3D(0, 0, 1);
    v.m_normal = Vec(n.NormalizeSafe());
    v.m_normal1 = Vec(t.NormalizeSafe());
    v.m_normal2 = Vec(b.NormalizeSafe());
    if (mesh.HasTextureCoords(0)) {
      v.m_texCoord = D3DXVECTOR4(mesh.mTextureCoords[0][i].x, mesh.mTextureCoords[0][i].y, 0.0f, 0.0f);
    } else {
      v.m_texCoord = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
    }
    v.m_color = mesh.HasVertexColors(0) ? ColorOf(mesh.mColors[0][i]) : 0xFFFFFFFFu;
  }
  out->m_indices.clear();
  for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
    const aiFace& face = mesh.mFaces[f];
    if (face.mNumIndices != 3) continue;  // points and lines draw nothing in a triangle list
    for (unsigned j = 0; j < 3; ++j) out->m_indices.push_back(static_cast<WORD>(face.mIndices[j]));
  }
  if (out->m_indices.empty()) {
    *error = name + " has no triangles";
    return false;
  }
  return true;
}

void CollectMeshes(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent,
                   std::vector<std::pair<unsigned, aiMatrix4x4>>* instances) {
  const aiMatrix4x4 world = parent * node.mTransformation;
  for (unsigned i = 0; i < node.mNumMeshes; ++i) instances->push_back({node.mMeshes[i], world});
  for (unsigned i = 0; i < node.mNumChildren; ++i) CollectMeshes(scene, *node.mChildren[i], world, instances);
}

int Import(const std::string& in, const std::string& outPath) {
  Assimp::Importer importer;
  // Direct3D's texture origin is the top-left corner: FlipUVs undoes
  // Assimp's bottom-left convention.
  const aiScene* scene = importer.ReadFile(in, aiProcess_GenSmoothNormals | aiProcess_CalcTangentSpace |
                                                   aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                                   aiProcess_FlipUVs);
  if (scene == nullptr || scene->mRootNode == nullptr) {
    return Error(in + ": " + importer.GetErrorString());
  }

  // Each mesh once per node that places it, in the node's world space.
  std::vector<std::pair<unsigned, aiMatrix4x4>> instances;
  CollectMeshes(*scene, *scene->mRootNode, aiMatrix4x4(), &instances);

  std::vector<CSubMesh> subMeshes;
  unsigned long long vertexTotal = 0;
  for (const auto& instance : instances) {
    if (instance.first >= scene->mNumMeshes) continue;
    const aiMesh& mesh = *scene->mMeshes[instance.first];
    vertexTotal += mesh.mNumVertices;
    CSubMesh subMesh;
    std::string reason;
    if (!ConvertMesh(mesh, instance.second, instance.first, &subMesh, &reason)) {
      if (mesh.mNumVertices <= 65535 && subMesh.m_indices.empty()) {
        std::fprintf(stderr, "gamemodel: %s: skipped, %s\n", in.c_str(), reason.c_str());
        vertexTotal -= mesh.mNumVertices;
        continue;
      }
      return Error(in + ": " + reason + "; nothing written");
    }
    subMeshes.push_back(std::move(subMesh));
  }
  if (vertexTotal > kMaxGameModelVertices) {
    return Error(in + ": " + std::to_string(vertexTotal) +
                 " vertices in all; a GAMEMODEL holds at most 65,536 (one 16-bit indexed vertex buffer); nothing written");
  }
  if (subMeshes.empty()) return Error(in + ": no triangle meshes; nothing written");

  std::string bytes, reason;
  if (!WriteGameModel(subMeshes, "GAMEMODEL imported by gamemodel", &bytes, &reason)) {
    return Error(in + ": " + reason + "; nothing written");
  }
  std::ofstream file(outPath, std::ios::out | std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) return Error(outPath + ": cannot write");
  std::printf("%s: %zu sub-meshes, %llu vertices\n", outPath.c_str(), subMeshes.size(), vertexTotal);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  if (args[0] == "info") {
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
  if (args[0] == "import" && args.size() == 3) return Import(args[1], args[2]);
  return Usage();
}
