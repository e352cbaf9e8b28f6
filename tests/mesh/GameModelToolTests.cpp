// The gamemodel tool and assetgen's models, run as the build made them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "mesh/GameModel.h"
#include "mesh/GameModelBytes.h"

namespace {

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs `program args` with standard output and error caught in `dir`.
ToolRun RunTool(const gm::TempDir& dir, const std::string& program, const std::string& args) {
  const std::string out = dir.Path("stdout.txt"), err = dir.Path("stderr.txt");
  const std::string command = "'" + program + "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
}

ToolRun Tool(const gm::TempDir& dir, const std::string& args) { return RunTool(dir, GAMEMODEL_TOOL, args); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(GameModelToolTest, InfoListsSubMeshesAndTotals) {
  gm::TempDir dir;
  std::vector<gm::Record> records = gm::TriangleAndQuad();
  records[1].fileWord = 0xAB;
  const std::string path = dir.Write("two.GAMEMODEL", gm::File(records));

  const ToolRun json = Tool(dir, "info --json " + Quoted(path));
  EXPECT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"subMeshes\":[{\"fileWord\":0,\"vertices\":3,\"indices\":3,\"baseVertex\":0,\"startIndex\":0},"
            "{\"fileWord\":171,\"vertices\":4,\"indices\":6,\"baseVertex\":3,\"startIndex\":3}],"
            "\"vertexBytes\":476,\"indexBytes\":18,\"bounds\":{\"min\":[0,0.5,-6],\"max\":[6,6.5,-0]}}\n");

  const ToolRun indices = Tool(dir, "info --json --indices " + Quoted(path));
  EXPECT_EQ(indices.exitCode, 0) << indices.err;
  EXPECT_NE(indices.out.find("\"startIndex\":0,\"rebasedIndices\":[0,1,2]}"), std::string::npos) << indices.out;
  EXPECT_NE(indices.out.find("\"startIndex\":3,\"rebasedIndices\":[3,4,5,3,5,6]}"), std::string::npos) << indices.out;

  const ToolRun text = Tool(dir, "info " + Quoted(path));
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("2 sub-meshes"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("0x000000ab"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("total: 7 vertices (476 bytes), 9 indices (18 bytes), 3 triangles"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("bounds: x 0 .. 6, y 0.5 .. 6.5, z -6 .. -0 (6 x 6 x 6)"), std::string::npos) << text.out;
}

TEST(GameModelToolTest, RejectedFilesExitOneWithTheLoadersReason) {
  gm::TempDir dir;
  const std::string good = gm::File(gm::TriangleAndQuad());
  const std::string path = dir.Write("cut.GAMEMODEL", good.substr(0, good.size() - 1));
  for (const char* args : {"info ", "info --json "}) {
    const ToolRun run = Tool(dir, std::string(args) + Quoted(path));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "error: " + path + ": file ends inside sub-mesh 1's index array\n");
  }
  const ToolRun missing = Tool(dir, "info " + Quoted(dir.Path("absent")));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err.rfind("error: ", 0), 0u);
  EXPECT_EQ(Tool(dir, "frobnicate").exitCode, 2);
}

std::vector<CSubMesh> ReadBack(const std::string& path) {
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  EXPECT_TRUE(ReadGameModel(ReadAll(path), &subMeshes, &reason)) << path << ": " << reason;
  return subMeshes;
}

TEST(GameModelToolTest, ImportsObjWithGeneratedNormalsAndTangents) {
  gm::TempDir dir;
  // A textured quad and a bare triangle, two objects: two sub-meshes.
  const std::string obj =
      "o quad\n"
      "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\n"
      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
      "f 1/1 2/2 3/3 4/4\n"
      "o triangle\n"
      "v 0 0 5\nv 0 3 5\nv 0 0 8\n"
      "f 5 6 7\n";
  const std::string in = dir.Write("parts.obj", obj), out = dir.Path("parts.GAMEMODEL");
  const ToolRun run = Tool(dir, "import " + Quoted(in) + " " + Quoted(out));
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const std::vector<CSubMesh> subMeshes = ReadBack(out);
  ASSERT_EQ(subMeshes.size(), 2u);
  const CSubMesh& quad = subMeshes[0];
  EXPECT_EQ(quad.m_vertices.size(), 4u);
  EXPECT_EQ(quad.m_indices.size(), 6u) << "triangulated";
  for (const CVertex& v : quad.m_vertices) {
    EXPECT_NEAR(std::fabs(v.m_normal.z), 1.0f, 1e-5f);
    EXPECT_NEAR(v.m_normal1.x, 1.0f, 1e-4f) << "tangent along u";
    EXPECT_NEAR(std::fabs(v.m_normal2.y), 1.0f, 1e-4f) << "bitangent along v";
    EXPECT_EQ(v.m_color, 0xFFFFFFFFu);
    // Direct3D's v runs down the texture: the OBJ's v = 1 at y = 1 becomes 0.
    EXPECT_NEAR(v.m_texCoord.x, v.m_position.x / 2.0f, 1e-6f);
    EXPECT_NEAR(v.m_texCoord.y, 1.0f - v.m_position.y, 1e-6f);
    EXPECT_EQ(v.m_texCoord.z, 0.0f);
  }
  const CSubMesh& triangle = subMeshes[1];
  EXPECT_EQ(triangle.m_vertices.size(), 3u);
  EXPECT_EQ(triangle.m_indices.size(), 3u);
  for (const CVertex& v : triangle.m_vertices) EXPECT_NEAR(std::fabs(v.m_normal.x), 1.0f, 1e-5f);
}

std::string Base64(const std::string& bytes) {
  static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kTable[(n >> 18) & 63];
    out += kTable[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kTable[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kTable[n & 63] : '=';
  }
  return out;
}

TEST(GameModelToolTest, ImportsGltfWithEmbeddedBufferAndVertexColours) {
  gm::TempDir dir;
  // One triangle in the XY plane placed by its node 10 units up, red vertex colours.
  std::string buffer;
  const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const float colours[] = {1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};
  const uint16_t indices[] = {0, 1, 2, 0};
  buffer.append(reinterpret_cast<const char*>(positions), sizeof(positions));
  buffer.append(reinterpret_cast<const char*>(colours), sizeof(colours));
  buffer.append(reinterpret_cast<const char*>(indices), sizeof(indices));
  const std::string gltf =
      "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
      "\"nodes\":[{\"mesh\":0,\"translation\":[0,10,0]}],"
      "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"COLOR_0\":1},\"indices\":2}]}],"
      "\"buffers\":[{\"byteLength\":" + std::to_string(buffer.size()) +
      ",\"uri\":\"data:application/octet-stream;base64," + Base64(buffer) + "\"}],"
      "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":36},"
      "{\"buffer\":0,\"byteOffset\":36,\"byteLength\":48},{\"buffer\":0,\"byteOffset\":84,\"byteLength\":6}],"
      "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\","
      "\"min\":[0,0,0],\"max\":[1,1,0]},"
      "{\"bufferView\":1,\"componentType\":5126,\"count\":3,\"type\":\"VEC4\"},"
      "{\"bufferView\":2,\"componentType\":5123,\"count\":3,\"type\":\"SCALAR\"}]}";
  const std::string in = dir.Write("triangle.gltf", gltf), out = dir.Path("triangle.GAMEMODEL");
  const ToolRun run = Tool(dir, "import " + Quoted(in) + " " + Quoted(out));
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const std::vector<CSubMesh> subMeshes = ReadBack(out);
  ASSERT_EQ(subMeshes.size(), 1u);
  ASSERT_EQ(subMeshes[0].m_vertices.size(), 3u);
  EXPECT_EQ(subMeshes[0].m_indices.size(), 3u);
  float maxX = 0, maxY = 0;
  for (const CVertex& v : subMeshes[0].m_vertices) {
    EXPECT_GE(v.m_position.y, 10.0f) << "the node's translation is applied";
    maxX = std::max(maxX, v.m_position.x);
    maxY = std::max(maxY, v.m_position.y);
    EXPECT_NEAR(std::fabs(v.m_normal.z), 1.0f, 1e-5f);
    EXPECT_EQ(v.m_color, 0xFFFF0000u);
  }
  EXPECT_FLOAT_EQ(maxX, 1.0f);
  EXPECT_FLOAT_EQ(maxY, 11.0f);
}

// An OBJ of separate triangles, `perObject` vertices in each object.
std::string ManyTriangles(const std::vector<int>& perObject) {
  std::string obj;
  int next = 1;
  for (size_t o = 0; o < perObject.size(); ++o) {
    obj += "o part" + std::to_string(o) + "\n";
    for (int t = 0; t < perObject[o] / 3; ++t) {
      const float x = static_cast<float>(next);
      obj += "v " + std::to_string(x) + " 0 " + std::to_string(o) + "\nv " + std::to_string(x) + " 1 " +
             std::to_string(o) + "\nv " + std::to_string(x + 0.5f) + " 0 " + std::to_string(o) + "\n";
      obj += "f " + std::to_string(next) + " " + std::to_string(next + 1) + " " + std::to_string(next + 2) + "\n";
      next += 3;
    }
  }
  return obj;
}

// A connected grid of `side` x `side` vertices in the XZ plane, as an OBJ.
std::string Grid(int side) {
  std::string obj;
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) obj += "v " + std::to_string(x) + " 0 " + std::to_string(z) + "\n";
  for (int z = 0; z + 1 < side; ++z) {
    for (int x = 0; x + 1 < side; ++x) {
      const int a = z * side + x + 1, b = a + 1, c = a + side, d = c + 1;
      obj += "f " + std::to_string(a) + " " + std::to_string(c) + " " + std::to_string(d) + " " + std::to_string(b) + "\n";
    }
  }
  return obj;
}

TEST(GameModelToolTest, OverOneBufferRefusesOrSimplifiesToFit) {
  gm::TempDir dir;
  const std::string out = dir.Path("big.GAMEMODEL");
  struct Case {
    const char* name;
    std::string obj;
  } const cases[] = {{"two objects", ManyTriangles({33000, 33000})}, {"one object", ManyTriangles({66000})}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir.Write("big.obj", c.obj);
    const ToolRun run = Tool(dir, "import " + Quoted(in) + " " + Quoted(out));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("66000 vertices in all"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("add --simplify"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing written"), std::string::npos) << run.err;
    EXPECT_FALSE(std::ifstream(out).good());
  }

  const std::string grid = dir.Write("grid.obj", Grid(260));  // 67,600 vertices
  const ToolRun run = Tool(dir, "import --simplify " + Quoted(grid) + " " + Quoted(out));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("simplified from 67600 to"), std::string::npos) << run.err;
  const std::vector<CSubMesh> subMeshes = ReadBack(out);
  ASSERT_EQ(subMeshes.size(), 1u);
  EXPECT_LE(subMeshes[0].m_vertices.size(), 65536u);
  EXPECT_GE(subMeshes[0].m_vertices.size(), 30000u) << "reduced no further than needed";
  // Still the whole grid: the simplifier keeps the borders.
  float minX = 1e9f, maxX = -1e9f;
  for (const CVertex& v : subMeshes[0].m_vertices) {
    minX = std::min(minX, v.m_position.x);
    maxX = std::max(maxX, v.m_position.x);
  }
  EXPECT_EQ(minX, 0.0f);
  EXPECT_EQ(maxX, 259.0f);
}

TEST(GameModelToolTest, ImportOrdersTrianglesForTheCacheAndVerticesForFetching) {
  gm::TempDir dir;
  // A 40 x 40 grid whose quads come in a shuffled order.
  const std::string grid = Grid(40);
  std::vector<std::string> lines;
  std::string vertices;
  for (size_t at = 0, end; at < grid.size(); at = end + 1) {
    end = grid.find('\n', at);
    const std::string line = grid.substr(at, end - at + 1);
    if (line[0] == 'f') {
      lines.push_back(line);
    } else {
      vertices += line;
    }
  }
  std::mt19937 random(7);
  std::shuffle(lines.begin(), lines.end(), random);
  std::string obj = vertices;
  for (const std::string& line : lines) obj += line;
  const std::string in = dir.Write("shuffled.obj", obj), out = dir.Path("shuffled.GAMEMODEL");
  ASSERT_EQ(Tool(dir, "import " + Quoted(in) + " " + Quoted(out)).exitCode, 0);
  const std::vector<CSubMesh> subMeshes = ReadBack(out);
  ASSERT_EQ(subMeshes.size(), 1u);
  const std::vector<WORD>& indices = subMeshes[0].m_indices;
  ASSERT_EQ(indices.size(), 39u * 39u * 6u);
  // Vertices in the order the triangles first use them.
  WORD next = 0;
  for (WORD index : indices) {
    ASSERT_LE(index, next);
    if (index == next) ++next;
  }
  EXPECT_EQ(next, 1600);
  // Vertices fetched per triangle through a 16-entry FIFO cache: a shuffled
  // grid needs about 2, an ordered one well under 1.
  std::deque<WORD> cache;
  size_t misses = 0;
  for (WORD index : indices) {
    if (std::find(cache.begin(), cache.end(), index) != cache.end()) continue;
    ++misses;
    cache.push_back(index);
    if (cache.size() > 16) cache.pop_front();
  }
  EXPECT_LT(static_cast<double>(misses) / static_cast<double>(indices.size() / 3), 0.9);
}

TEST(GameModelToolTest, FitOriginAndUpPlaceTheBoundingBox) {
  gm::TempDir dir;
  // A box from (10, 20, 30) to (12, 28, 31): its largest extent is 8, along y.
  const std::string obj =
      "v 10 20 30\nv 12 20 30\nv 12 28 30\nv 10 28 30\nv 10 20 31\nv 12 20 31\nv 12 28 31\nv 10 28 31\n"
      "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 4 8 7 3\nf 1 5 8 4\nf 2 3 7 6\n";
  const std::string in = dir.Write("box.obj", obj), out = dir.Path("box.GAMEMODEL");
  struct Case {
    const char* options;
    const char* bounds;
  } const cases[] = {
      {"", "\"bounds\":{\"min\":[10,20,30],\"max\":[12,28,31]}"},
      {"--fit 4 --origin base", "\"bounds\":{\"min\":[-0.5,0,-0.25],\"max\":[0.5,4,0.25]}"},
      {"--origin center", "\"bounds\":{\"min\":[-1,-4,-0.5],\"max\":[1,4,0.5]}"},
      {"--fit 16", "\"bounds\":{\"min\":[20,40,60],\"max\":[24,56,62]}"},
      // +Z up: (x, y, z) becomes (x, z, -y).
      {"--up z --origin base", "\"bounds\":{\"min\":[-1,0,-4],\"max\":[1,1,4]}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const ToolRun run = Tool(dir, std::string("import ") + c.options + " " + Quoted(in) + " " + Quoted(out));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("bounds x"), std::string::npos) << run.out;
    const ToolRun info = Tool(dir, "info --json " + Quoted(out));
    EXPECT_NE(info.out.find(c.bounds), std::string::npos) << info.out;
  }
  // Turning Z-up upright is a rotation, not a mirror image: every
  // triangle keeps its winding relative to its normals.
  for (const char* options : {"", "--up z"}) {
    SCOPED_TRACE(options);
    ASSERT_EQ(Tool(dir, std::string("import ") + options + " " + Quoted(in) + " " + Quoted(out)).exitCode, 0);
    for (const CSubMesh& s : ReadBack(out)) {
      for (size_t t = 0; t + 2 < s.m_indices.size(); t += 3) {
        const CVertex& a = s.m_vertices[s.m_indices[t]];
        const CVertex& b = s.m_vertices[s.m_indices[t + 1]];
        const CVertex& c = s.m_vertices[s.m_indices[t + 2]];
        const D3DXVECTOR3 e1 = b.m_position - a.m_position, e2 = c.m_position - a.m_position;
        const D3DXVECTOR3 face(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x);
        EXPECT_GT(face.x * a.m_normal.x + face.y * a.m_normal.y + face.z * a.m_normal.z, 0.0f) << "triangle " << t / 3;
      }
    }
  }

  for (const char* bad : {"--fit 0", "--fit -2", "--fit x", "--origin top", "--up x", "--fit"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Tool(dir, std::string("import ") + bad + " " + Quoted(in) + " " + Quoted(out)).exitCode, 2);
  }
}

TEST(GeneratedModelsTest, DeterministicWellFormedAndShapedForTheScene) {
  gm::TempDir first, second;
  ASSERT_EQ(RunTool(first, ASSETGEN_TOOL, "models " + Quoted(first.Path("Data"))).exitCode, 0);
  ASSERT_EQ(RunTool(second, ASSETGEN_TOOL, "models " + Quoted(second.Path("Data"))).exitCode, 0);

  // Each part's extent in its own space: the joints where the scene puts them.
  struct Part {
    const char* name;
    float minY, maxY;  // bounds the part must reach into
  } const parts[] = {{"bottom", 0.0f, 12.0f}, {"middle", -2.0f, 17.5f}, {"top", -1.5f, 10.0f}};
  for (const Part& part : parts) {
    SCOPED_TRACE(part.name);
    const std::string file = std::string("Data/") + part.name + ".GAMEMODEL";
    const std::string bytes = ReadAll(first.Path(file));
    EXPECT_EQ(bytes, ReadAll(second.Path(file))) << "the same bytes every run";
    const std::vector<CSubMesh> subMeshes = ReadBack(first.Path(file));
    EXPECT_GE(subMeshes.size(), 2u);
    size_t triangles = 0;
    float lowest = 1e9f, highest = -1e9f, widest = 0.0f;
    for (const CSubMesh& s : subMeshes) {
      EXPECT_EQ(s.m_indices.size() % 3, 0u);
      triangles += s.m_indices.size() / 3;
      for (const CVertex& v : s.m_vertices) {
        lowest = std::min(lowest, v.m_position.y);
        highest = std::max(highest, v.m_position.y);
        widest = std::max({widest, std::fabs(v.m_position.x), std::fabs(v.m_position.z)});
        const D3DXVECTOR3& n = v.m_normal;
        const D3DXVECTOR3& t = v.m_normal1;
        const D3DXVECTOR3& b = v.m_normal2;
        ASSERT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-4f);
        ASSERT_NEAR(n.x * t.x + n.y * t.y + n.z * t.z, 0.0f, 1e-4f) << "tangent at right angles to the normal";
        ASSERT_NEAR(n.x * b.x + n.y * b.y + n.z * b.z, 0.0f, 1e-4f) << "bitangent at right angles to the normal";
        ASSERT_EQ(v.m_color >> 24, 0xFFu) << "opaque";
        ASSERT_EQ(v.m_texCoord.z, 0.0f);
        ASSERT_EQ(v.m_texCoord.w, 0.0f);
      }
    }
    EXPECT_LE(triangles, 5000u);
    EXPECT_GE(triangles, 500u);
    EXPECT_LE(lowest, part.minY);
    EXPECT_GE(highest, part.maxY);
    EXPECT_LT(widest, 12.0f);
  }
}

}  // namespace
