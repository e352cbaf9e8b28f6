#include "tools/gamemodel/AssimpReader.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <unordered_set>
#include <utility>

namespace {

// The steps every import runs. Direct3D's texture origin is the top-left
// corner: FlipUVs undoes Assimp's bottom-left convention.
constexpr unsigned kSteps = aiProcess_GenSmoothNormals | aiProcess_CalcTangentSpace | aiProcess_Triangulate |
                            aiProcess_JoinIdenticalVertices | aiProcess_FlipUVs;

// Deeper scene graphs than this are not models but damage; the walk stops.
constexpr unsigned kMaxDepth = 1000;

// Assimp names the reader it chose in an info line of its log, just
// before the reader runs.
class FormatCatcher : public Assimp::LogStream {
 public:
  explicit FormatCatcher(const std::function<void(const std::string&)>& onFormat) : m_onFormat(onFormat) {}
  void write(const char* message) override {
    static const char kLead[] = "Found a matching importer for this file format: ";
    const char* at = std::strstr(message, kLead);
    if (at == nullptr) return;
    std::string name(at + sizeof(kLead) - 1);
    while (!name.empty() && (name.back() == '\n' || name.back() == '.' || name.back() == ' ')) name.pop_back();
    m_onFormat(name);
  }

 private:
  std::function<void(const std::string&)> m_onFormat;
};

// Assimp's log for the length of one read: our catcher, nothing printed.
class LogScope {
 public:
  explicit LogScope(const std::function<void(const std::string&)>& onFormat) {
    Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
    Assimp::DefaultLogger::get()->attachStream(new FormatCatcher(onFormat), Assimp::Logger::Info);
  }
  ~LogScope() { Assimp::DefaultLogger::kill(); }
  LogScope(const LogScope&) = delete;
  LogScope& operator=(const LogScope&) = delete;
};

// Complaints of Assimp's validation about parts of a scene the import does
// not use, or checks itself: sound files carry them (a scene of only a
// skeleton, a point cloud, an unplaced light, an empty node slot), so the
// file is read again without the validation.
bool ValidationSparesTheFile(const std::string& error) {
  if (error.rfind("Validation failed: ", 0) != 0) return false;
  for (const char* spared : {"mNumMeshes is 0", "contains no faces", "contains no vertices",
                             "has no corresponding node in the scene graph", "A node of the scene-graph is nullptr"}) {
    if (error.find(spared) != std::string::npos) return true;
  }
  return false;
}

std::string Quoted(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.size() > 160) text = text.substr(0, 157) + "...";
  return "\"" + text + "\"";
}

bool StartsWithUtf16Mark(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char mark[2] = {0, 0};
  file.read(reinterpret_cast<char*>(mark), 2);
  return file.gcount() == 2 && ((mark[0] == 0xFE && mark[1] == 0xFF) || (mark[0] == 0xFF && mark[1] == 0xFE));
}

bool Finite(const aiVector3D& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const D3DXVECTOR3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

D3DXVECTOR3 Vec(const aiVector3D& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

DWORD ColorOf(const aiColor4D& c) {
  auto channel = [](float f) {
    const float clamped = std::isfinite(f) ? std::min(1.0f, std::max(0.0f, f)) : 0.0f;
    return static_cast<DWORD>(clamped * 255.0f + 0.5f);
  };
  return (channel(c.a) << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

// Any unit vector at right angles to `n`.
aiVector3D Perpendicular(const aiVector3D& n) {
  const aiVector3D axis = std::fabs(n.x) < 0.9f ? aiVector3D(1, 0, 0) : aiVector3D(0, 1, 0);
  aiVector3D t = axis ^ n;
  return t.NormalizeSafe();
}

std::string MeshName(unsigned index, const aiMesh& mesh) {
  std::string name = "mesh " + std::to_string(index);
  if (mesh.mName.length != 0) name += " ('" + std::string(mesh.mName.C_Str()) + "')";
  return name;
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

enum class Converted { kMesh, kRefused, kNoVertices, kPointCloud, kPointsAndLines };

// One instance of `mesh`, placed by `world` (its node's world matrix).
Converted ConvertMesh(const aiMesh& mesh, unsigned index, const aiMatrix4x4& world, ImportedMesh* out,
                      std::string* why) {
  const std::string name = MeshName(index, mesh);
  if (mesh.mNumVertices == 0 || mesh.mVertices == nullptr) {
    *why = name + " skipped: no vertices";
    return Converted::kNoVertices;
  }
  if (mesh.mNumFaces == 0 || mesh.mFaces == nullptr) {
    *why = name + " skipped: no faces (a point cloud)";
    return Converted::kPointCloud;
  }
  const unsigned count = mesh.mNumVertices;
  const bool normals = mesh.mNormals != nullptr;
  const bool tangents = mesh.mTangents != nullptr && mesh.mBitangents != nullptr;
  const bool uvs = mesh.mTextureCoords[0] != nullptr;
  const bool colours = mesh.mColors[0] != nullptr;
  // What the file gave: a non-finite value there is damage.
  for (unsigned i = 0; i < count; ++i) {
    const char* what =
        !Finite(mesh.mVertices[i])             ? "position"
        : normals && !Finite(mesh.mNormals[i]) ? "normal"
        : uvs && !(std::isfinite(mesh.mTextureCoords[0][i].x) && std::isfinite(mesh.mTextureCoords[0][i].y))
            ? "texture coordinate"
            : nullptr;
    if (what != nullptr) {
      *why = name + " has a non-finite " + what + " (vertex " + std::to_string(i) + ")";
      return Converted::kRefused;
    }
  }

  aiMatrix3x3 normalMatrix(world);
  normalMatrix.Inverse().Transpose();
  const aiMatrix3x3 linear(world);
  out->name = name;
  out->vertices.resize(count);
  for (unsigned i = 0; i < count; ++i) {
    CVertex& v = out->vertices[i];
    v.m_position = Vec(world * mesh.mVertices[i]);
    if (!Finite(v.m_position)) {
      *why = name + " is placed by its scene-graph node at a non-finite position (vertex " + std::to_string(i) + ")";
      return Converted::kRefused;
    }
    aiVector3D n = normals ? normalMatrix * mesh.mNormals[i] : aiVector3D(0, 1, 0);
    n.NormalizeSafe();
    if (!Finite(n) || n.SquareLength() == 0.0f) n = aiVector3D(0, 1, 0);
    // Tangents are derived data: where Assimp could not make them (no
    // texture coordinates, a degenerate face), any basis around the normal.
    aiVector3D t = tangents ? linear * mesh.mTangents[i] : aiVector3D();
    aiVector3D b = tangents ? linear * mesh.mBitangents[i] : aiVector3D();
    t.NormalizeSafe();
    b.NormalizeSafe();
    if (!Finite(t) || t.SquareLength() == 0.0f || !Finite(b) || b.SquareLength() == 0.0f) {
      t = Perpendicular(n);
      b = n ^ t;
    }
    v.m_normal = Vec(n);
    v.m_normal1 = Vec(t);
    v.m_normal2 = Vec(b);
    v.m_texCoord = uvs ? D3DXVECTOR4(mesh.mTextureCoords[0][i].x, mesh.mTextureCoords[0][i].y, 0.0f, 0.0f)
                       : D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
    v.m_color = colours ? ColorOf(mesh.mColors[0][i]) : 0xFFFFFFFFu;
  }

  size_t outside = 0;
  out->indices.clear();
  for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
    const aiFace& face = mesh.mFaces[f];
    if (face.mNumIndices != 3 || face.mIndices == nullptr) continue;  // points and lines draw nothing
    if (face.mIndices[0] >= count || face.mIndices[1] >= count || face.mIndices[2] >= count) {
      ++outside;
      continue;
    }
    out->indices.insert(out->indices.end(), face.mIndices, face.mIndices + 3);
  }
  if (out->indices.empty()) {
    if (outside != 0) {
      *why = name + " skipped: every triangle points outside its vertices";
      return Converted::kNoVertices;
    }
    *why = name + " skipped: only points and lines";
    return Converted::kPointsAndLines;
  }
  if (outside != 0)
    *why = name + ": " + Plural(outside, "triangle", "triangles") + " pointing outside its vertices skipped";
  return Converted::kMesh;
}

// Meshes the walk met that give no triangle, by kind.
struct Skipped {
  size_t pointClouds = 0, pointsAndLines = 0, empty = 0;
  size_t Total() const { return pointClouds + pointsAndLines + empty; }
};

// What a scene without a triangle mesh holds, for the refusal: "only an
// animation skeleton (31 joints, 1 animation)".
std::string Holdings(const aiScene& scene, size_t nodes, const Skipped& skipped, bool* animation) {
  std::vector<std::string> parts;
  if (skipped.pointClouds != 0)
    parts.push_back("a point cloud (" + Plural(skipped.pointClouds, "mesh", "meshes") + ")");
  if (skipped.pointsAndLines != 0) {
    parts.push_back("points and lines (" + Plural(skipped.pointsAndLines, "mesh", "meshes") + ")");
  }
  if (skipped.empty != 0) parts.push_back(Plural(skipped.empty, "mesh", "meshes") + " without usable vertices");
  const size_t placed = size_t{1} + scene.mNumCameras + scene.mNumLights;  // the root, cameras and lights
  *animation = scene.mNumAnimations != 0 && skipped.Total() == 0;
  if (scene.mNumAnimations != 0) {
    parts.push_back("an animation skeleton (" + Plural(nodes, "joint", "joints") + ", " +
                    Plural(scene.mNumAnimations, "animation", "animations") + ")");
  } else if (skipped.Total() == 0 && nodes > placed) {
    parts.push_back("scene-graph nodes without meshes (" + std::to_string(nodes) + ")");
  }
  if (scene.mNumCameras != 0) parts.push_back(Plural(scene.mNumCameras, "camera", "cameras"));
  if (scene.mNumLights != 0) parts.push_back(Plural(scene.mNumLights, "light", "lights"));
  if (parts.empty()) return "it holds nothing at all: no mesh, skeleton, camera or light";
  std::string text = "it holds no triangle mesh, only ";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) text += i + 1 == parts.size() ? " and " : ", ";
    text += parts[i];
  }
  return text;
}

}  // namespace

const char kNoAssimpReader[] = "no Assimp reader";

unsigned long long ReaderMemoryAllowance(unsigned long long fileBytes) {
  const unsigned long long floor = 512ull << 20, perByte = 64, ceiling = 4ull << 30;
  return std::min(ceiling, floor + perByte * std::min(fileBytes, ceiling));
}

bool ReadWithAssimp(const std::string& path, const std::function<void(const std::string&)>& onFormat,
                    AssimpRead* read) {
  LogScope log(onFormat);
  // A fresh importer for each read: some readers keep state between files.
  auto importer = std::make_unique<Assimp::Importer>();
  // Motion-only files (BVH, CSM) would otherwise come back as stick figures.
  importer->SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
  const aiScene* scene = importer->ReadFile(path, kSteps | aiProcess_ValidateDataStructure);
  if (scene == nullptr && ValidationSparesTheFile(importer->GetErrorString())) {
    importer = std::make_unique<Assimp::Importer>();
    importer->SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    scene = importer->ReadFile(path, kSteps);
  }
  const bool utf16 = StartsWithUtf16Mark(path);
  if (scene == nullptr) {
    const std::string error = importer->GetErrorString();
    if (error.find("bad_alloc") != std::string::npos) throw std::bad_alloc();
    if (error.rfind("No suitable reader found", 0) == 0) {
      onFormat(kNoAssimpReader);
      read->reason = "neither its extension nor its first bytes are those of a model format Assimp reads";
      read->advice = "export the model as glTF 2.0 (.glb), OBJ, FBX or Collada and import that";
    } else if (utf16) {
      read->reason = "it is UTF-16 text, which Assimp could not read (" + Quoted(error) + ")";
      read->advice = "save it as UTF-8 text and import it again";
    } else if (error.rfind("Validation failed: ", 0) == 0) {
      read->reason = "Assimp's check of what its reader made found it broken (" + Quoted(error) + ")";
      read->advice = "the file is probably damaged: export the model again, as glTF 2.0 (.glb) or OBJ";
    } else {
      read->reason = "Assimp's reader could not read it (" + Quoted(error.empty() ? "no reason given" : error) + ")";
      read->advice =
          "check that the file and the files it refers to are complete, or export the model again as "
          "glTF 2.0 (.glb) or OBJ";
    }
    return false;
  }
  if (scene->mRootNode == nullptr) {
    read->reason = "Assimp's reader made a scene without a root node";
    read->advice = "the file is probably damaged: export the model again, as glTF 2.0 (.glb) or OBJ";
    return false;
  }

  // Every node once, depth first, with its world matrix: null entries and
  // nodes seen before (a graph with a cycle) are skipped.
  struct Visit {
    const aiNode* node;
    aiMatrix4x4 parent;
    unsigned depth;
  };
  std::vector<Visit> stack = {{scene->mRootNode, aiMatrix4x4(), 0}};
  std::unordered_set<const aiNode*> seen;
  size_t nodes = 0, nullEntries = 0, badMeshRefs = 0;
  Skipped skipped;
  bool tooDeep = false;
  while (!stack.empty()) {
    const Visit visit = stack.back();
    stack.pop_back();
    if (visit.node == nullptr) {
      ++nullEntries;
      continue;
    }
    if (!seen.insert(visit.node).second) continue;
    ++nodes;
    const aiMatrix4x4 world = visit.parent * visit.node->mTransformation;
    for (unsigned i = 0; visit.node->mMeshes != nullptr && i < visit.node->mNumMeshes; ++i) {
      const unsigned index = visit.node->mMeshes[i];
      if (scene->mMeshes == nullptr || index >= scene->mNumMeshes || scene->mMeshes[index] == nullptr) {
        ++badMeshRefs;
        continue;
      }
      ImportedMesh mesh;
      std::string why;
      const Converted kind = ConvertMesh(*scene->mMeshes[index], index, world, &mesh, &why);
      switch (kind) {
        case Converted::kRefused:
          read->meshes.clear();
          read->reason = why;
          read->advice =
              "the file, or Assimp's reading of it, has no usable value there: export the model again, as glTF 2.0 "
              "(.glb) or OBJ";
          return false;
        case Converted::kPointCloud:
        case Converted::kPointsAndLines:
        case Converted::kNoVertices:
          ++(kind == Converted::kPointCloud       ? skipped.pointClouds
             : kind == Converted::kPointsAndLines ? skipped.pointsAndLines
                                                  : skipped.empty);
          read->notes.push_back(why);
          break;
        case Converted::kMesh:
          if (!why.empty()) read->notes.push_back(why);
          read->meshes.push_back(std::move(mesh));
          break;
      }
    }
    if (visit.node->mChildren == nullptr) {
      nullEntries += visit.node->mNumChildren;
      continue;
    }
    if (visit.depth >= kMaxDepth) {
      tooDeep = tooDeep || visit.node->mNumChildren != 0;
      continue;
    }
    // Pushed last to first, so the children are visited in file order.
    for (unsigned i = visit.node->mNumChildren; i-- > 0;) {
      stack.push_back({visit.node->mChildren[i], world, visit.depth + 1});
    }
  }
  if (nullEntries != 0)
    read->notes.push_back(Plural(nullEntries, "empty scene-graph entry", "empty scene-graph entries") + " skipped");
  if (badMeshRefs != 0)
    read->notes.push_back(Plural(badMeshRefs, "reference", "references") + " to meshes that are not there skipped");
  if (tooDeep) read->notes.push_back("nodes deeper than " + std::to_string(kMaxDepth) + " levels skipped");

  if (read->meshes.empty()) {
    if (utf16) {
      read->reason = "it is UTF-16 text, and Assimp's reader found nothing in it";
      read->advice = "save it as UTF-8 text and import it again";
    } else {
      bool animation = false;
      read->reason = Holdings(*scene, nodes, skipped, &animation);
      read->advice = animation ? "an animation carries no surface to draw: import the model it animates"
                               : "export the model again with its surfaces as triangles or polygons";
    }
    return false;
  }
  return true;
}
