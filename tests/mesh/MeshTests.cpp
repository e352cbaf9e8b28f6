// GAMEMODEL files into meshes on the recording fake device, and the reading
// and validation behind them.
#include <gtest/gtest.h>

#include <cstring>

#include "fake/FakeDevice.h"
#include "graphics/Renderer.h"
#include "mesh/GameModel.h"
#include "mesh/Mesh.h"
#include "mesh/GameModelBytes.h"
#include "support/RegistryTest.h"

namespace {

using gm::File;
using gm::Sub;

class MeshTest : public DeviceRegistryTest {
 protected:
  void TearDown() override {
    fake::AllowZeroLengthBuffers(true);
    DeviceRegistryTest::TearDown();
  }

  struct Registries {
    std::vector<IDirect3DVertexBuffer9*> vertexBuffers;
    std::vector<IDirect3DIndexBuffer9*> indexBuffers;
    std::vector<CMesh*> meshes;
    int live;
    bool operator==(const Registries& o) const {
      return vertexBuffers == o.vertexBuffers && indexBuffers == o.indexBuffers && meshes == o.meshes && live == o.live;
    }
  };
  Registries Snapshot() { return {R().m_vertexBuffers, R().m_indexBuffers, R().m_meshes, fake::LiveObjects()}; }

  // Each DrawIndexedPrimitive since the last Clear, as its argument list.
  std::vector<std::vector<uint64_t>> Draws() {
    std::vector<std::vector<uint64_t>> draws;
    for (const fake::Call& call : fake::CallsNamed("DrawIndexedPrimitive")) draws.push_back(call.args);
    return draws;
  }
  std::vector<uint16_t> IndexBufferWords(CMesh* mesh) {
    const std::vector<uint8_t> bytes = fake::BufferBytes(mesh->m_pIndexBuffer);
    std::vector<uint16_t> words(bytes.size() / 2);
    std::memcpy(words.data(), bytes.data(), words.size() * 2);
    return words;
  }

  gm::TempDir dir;
  int liveBefore = 0;
};

TEST_F(MeshTest, TwoSubMeshesShareOneVertexAndOneIndexBuffer) {
  const std::string path = dir.Write("two.GAMEMODEL", File(gm::TriangleAndQuad()));
  CMesh* mesh = R().CreateMesh(path);
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(R().m_meshes, std::vector<CMesh*>{mesh});
  EXPECT_EQ(R().m_vertexBuffers, std::vector<IDirect3DVertexBuffer9*>{mesh->m_pVertexBuffer});
  EXPECT_EQ(R().m_indexBuffers, std::vector<IDirect3DIndexBuffer9*>{mesh->m_pIndexBuffer});

  const auto vb = fake::CallsNamed("CreateVertexBuffer");
  ASSERT_EQ(vb.size(), 1u);
  EXPECT_EQ(vb[0].args, (std::vector<uint64_t>{476, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, 0}));
  const auto ib = fake::CallsNamed("CreateIndexBuffer");
  ASSERT_EQ(ib.size(), 1u);
  EXPECT_EQ(ib[0].args, (std::vector<uint64_t>{18, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, 0}));
  for (const fake::Call& lock : fake::CallsNamed("Lock")) EXPECT_EQ(lock.args, (std::vector<uint64_t>{0, 0, 0}));

  ASSERT_EQ(mesh->m_subMeshes.size(), 2u);
  EXPECT_EQ(mesh->m_subMeshes[0].m_baseVertex, 0);
  EXPECT_EQ(mesh->m_subMeshes[1].m_baseVertex, 3);
  EXPECT_EQ(IndexBufferWords(mesh), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5, 3, 5, 6}));
  const std::vector<uint8_t> vertices = fake::BufferBytes(mesh->m_pVertexBuffer);
  const std::string expected = gm::VertexBytes(0, 7);
  ASSERT_EQ(vertices.size(), expected.size());
  EXPECT_EQ(std::memcmp(vertices.data(), expected.data(), expected.size()), 0);

  fake::Clear();
  mesh->Draw(R().m_pDevice);
  EXPECT_EQ(Draws(), (std::vector<std::vector<uint64_t>>{{4, 0, 0, 3, 0, 1}, {4, 0, 3, 4, 3, 2}}));
  EXPECT_EQ(fake::Calls().size(), 2u) << "Draw sets no other state";
}

TEST_F(MeshTest, IndexCountNotAMultipleOfThreeKeepsEveryIndex) {
  const std::string path = dir.Write("five.GAMEMODEL", File({Sub(3, {0, 1, 2, 2, 1}), Sub(3, {0, 1, 2}, 3)}));
  CMesh* mesh = R().CreateMesh(path);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(IndexBufferWords(mesh), (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 4, 5}));
  fake::Clear();
  mesh->Draw(R().m_pDevice);
  EXPECT_EQ(Draws(), (std::vector<std::vector<uint64_t>>{{4, 0, 0, 3, 0, 1}, {4, 0, 3, 3, 5, 1}}));
}

TEST_F(MeshTest, SixtyFiveThousandFiveHundredThirtySixVerticesFit) {
  // The largest model: the last sub-mesh starts at vertex 65,535.
  const std::string path = dir.Write("full.GAMEMODEL", File({Sub(65535, {0, 1, 65534}), Sub(1, {0, 0, 0})}));
  CMesh* mesh = R().CreateMesh(path);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->m_subMeshes[1].m_baseVertex, 65535);
  EXPECT_EQ(IndexBufferWords(mesh), (std::vector<uint16_t>{0, 1, 65534, 65535, 65535, 65535}));
  EXPECT_EQ(fake::CallsNamed("CreateVertexBuffer")[0].args[0], 65536u * 68u);
}

TEST_F(MeshTest, LoadingOneFileTwiceMakesTwoMeshes) {
  const std::string path = dir.Write("two.GAMEMODEL", File(gm::TriangleAndQuad()));
  CMesh* first = R().CreateMesh(path);
  CMesh* second = R().CreateMesh(path);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(R().m_meshes, (std::vector<CMesh*>{first, second}));
  EXPECT_EQ(R().m_vertexBuffers, (std::vector<IDirect3DVertexBuffer9*>{first->m_pVertexBuffer, second->m_pVertexBuffer}));
  EXPECT_EQ(R().m_indexBuffers, (std::vector<IDirect3DIndexBuffer9*>{first->m_pIndexBuffer, second->m_pIndexBuffer}));
  EXPECT_EQ(second->m_subMeshes[1].m_baseVertex, 3) << "the second copy is placed from 0 too";
}

TEST_F(MeshTest, DestroyingAMeshTakesOutAndReleasesBothBuffers) {
  const std::string path = dir.Write("two.GAMEMODEL", File(gm::TriangleAndQuad()));
  CMesh* kept = R().CreateMesh(path);
  CMesh* mesh = new CMesh();
  ASSERT_TRUE(mesh->Load(path));
  const void* vb = mesh->m_pVertexBuffer;
  const void* ib = mesh->m_pIndexBuffer;
  const int live = fake::LiveObjects();
  fake::Clear();
  delete mesh;
  EXPECT_EQ(fake::LiveObjects(), live - 2);
  int vbReleases = 0, ibReleases = 0;
  for (const fake::Call& call : fake::CallsNamed("Release")) {
    vbReleases += call.object == vb;
    ibReleases += call.object == ib;
  }
  EXPECT_EQ(vbReleases, 1);
  EXPECT_EQ(ibReleases, 1);
  EXPECT_EQ(R().m_vertexBuffers, std::vector<IDirect3DVertexBuffer9*>{kept->m_pVertexBuffer});
  EXPECT_EQ(R().m_indexBuffers, std::vector<IDirect3DIndexBuffer9*>{kept->m_pIndexBuffer});
}

TEST_F(MeshTest, DeviceFailuresUndoEverything) {
  struct Case {
    const char* call;
    HRESULT hr;
    int nth;
  } const cases[] = {
      {"CreateVertexBuffer", E_OUTOFMEMORY, 1},
      {"CreateIndexBuffer", E_OUTOFMEMORY, 1},
      {"Lock", D3DERR_INVALIDCALL, 1},  // the vertex buffer
      {"Lock", D3DERR_INVALIDCALL, 2},  // the index buffer
  };
  const std::string path = dir.Write("two.GAMEMODEL", File(gm::TriangleAndQuad()));
  // Buffers already registered, so an undo in the wrong order shows.
  ASSERT_NE(R().CreateMesh(path), nullptr);
  ASSERT_NE(R().CreateMesh(path), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.nth));
    const Registries before = Snapshot();
    fake::Clear();
    fake::FailCall(c.call, c.hr, c.nth);
    R().m_lastError.clear();
    EXPECT_EQ(R().CreateMesh(path), nullptr);
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_EQ(R().m_lastError.rfind(path + ": ", 0), 0u) << R().m_lastError;
  }
}

TEST_F(MeshTest, MissingOrEmptyFilesMakeNothing) {
  const std::string cases[] = {"", dir.Path("absent.GAMEMODEL"), dir.Write("empty.GAMEMODEL", ""), dir.Path("")};
  for (const std::string& path : cases) {
    SCOPED_TRACE("'" + path + "'");
    const Registries before = Snapshot();
    fake::Clear();
    EXPECT_EQ(R().CreateMesh(path), nullptr);
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_EQ(fake::CountCalls("CreateVertexBuffer"), 0u);
    EXPECT_EQ(R().m_lastError, path + ": missing or empty file");
  }
}

// Files the loader refuses, each with a word of the reason it gives.
struct BadFile {
  const char* name;
  std::string bytes;
  const char* reason;
};

std::vector<BadFile> BadFiles() {
  using gm::Record;
  const std::string good = File(gm::TriangleAndQuad());
  Record hugeCounts = Sub(65535, {});
  hugeCounts.indexCount = 0xFFFFFFFFu;
  hugeCounts.vertexCount = 0;  // the arrays written: none
  std::string huge = File({hugeCounts});
  huge[68 + 4] = '\xFF';
  huge[68 + 5] = '\xFF';  // V = 65,535 in a file of 78 bytes
  std::string hugeIndices = File({Sub(3, {0, 1, 2})});
  hugeIndices[68 + 6] = hugeIndices[68 + 7] = hugeIndices[68 + 8] = hugeIndices[68 + 9] = '\xFF';
  return {
      {"no count", std::string(64, '\0'), "too short"},
      {"count cut short", std::string(67, '\0'), "too short"},
      {"count without records", File({}, 1), "declares 1"},
      {"more sub-meshes declared than held", File(gm::TriangleAndQuad(), 3), "declares 3"},
      {"ends inside a record's counts", good.substr(0, 68 + 5), "sub-mesh 0"},
      {"ends inside the second record's counts", good.substr(0, 68 + 10 + 3 * 68 + 6 + 9), "sub-mesh 1"},
      {"ends inside a vertex array", good.substr(0, 68 + 10 + 67), "vertex array"},
      {"ends inside an index array", good.substr(0, good.size() - 1), "sub-mesh 1's index array"},
      {"demands 4 MB of vertices in 78 bytes", huge, "vertex array"},
      {"demands 8 GB of indices", hugeIndices, "index array"},
      {"no vertices", File({Sub(0, {0, 0, 0})}), "no vertices"},
      {"no indices", File({Sub(3, {})}), "no indices"},
      {"index equal to the vertex count", File({Sub(3, {0, 1, 2}), Sub(4, {0, 1, 4})}), "not less than"},
      {"index far out", File({Sub(3, {0, 65535, 2})}), "not less than"},
      {"65,537 vertices", File({Sub(65535, {0, 1, 2}), Sub(2, {0, 1, 1})}), "65,536"},
  };
}

TEST_F(MeshTest, BadFilesAreRefusedWithTheirReason) {
  for (const BadFile& bad : BadFiles()) {
    SCOPED_TRACE(bad.name);
    std::vector<CSubMesh> subMeshes(2);
    std::string reason;
    EXPECT_FALSE(ReadGameModel(bad.bytes, &subMeshes, &reason));
    EXPECT_TRUE(subMeshes.empty());
    EXPECT_NE(reason.find(bad.reason), std::string::npos) << reason;

    const std::string path = dir.Write("bad.GAMEMODEL", bad.bytes);
    const Registries before = Snapshot();
    fake::Clear();
    EXPECT_EQ(R().CreateMesh(path), nullptr);
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_EQ(fake::CountCalls("CreateVertexBuffer"), 0u);
    EXPECT_EQ(R().m_lastError, path + ": " + reason);
  }
}

TEST_F(MeshTest, HeaderRecordWordsAndTrailingBytesChangeNothingDrawn) {
  std::vector<gm::Record> marked = gm::TriangleAndQuad();
  marked[0].fileWord = 0xDEADBEEF;
  marked[1].fileWord = 7;
  const std::string plain = File(gm::TriangleAndQuad());
  const std::string variants[] = {File(marked, 2, '\xAB'), plain + "trailing bytes", plain + std::string(100, '\xFF')};

  CMesh* reference = R().CreateMesh(dir.Write("plain.GAMEMODEL", plain));
  ASSERT_NE(reference, nullptr);
  fake::Clear();
  reference->Draw(R().m_pDevice);
  const auto referenceDraws = Draws();
  for (const std::string& bytes : variants) {
    CMesh* mesh = R().CreateMesh(dir.Write("variant.GAMEMODEL", bytes));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(fake::BufferBytes(mesh->m_pVertexBuffer), fake::BufferBytes(reference->m_pVertexBuffer));
    EXPECT_EQ(fake::BufferBytes(mesh->m_pIndexBuffer), fake::BufferBytes(reference->m_pIndexBuffer));
    fake::Clear();
    mesh->Draw(R().m_pDevice);
    EXPECT_EQ(Draws(), referenceDraws);
  }
  EXPECT_EQ(R().m_meshes.back()->m_subMeshes.size(), 2u);
}

TEST_F(MeshTest, RecordWordsAreKept) {
  std::vector<gm::Record> marked = gm::TriangleAndQuad();
  marked[0].fileWord = 0xDEADBEEF;
  marked[1].fileWord = 7;
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  ASSERT_TRUE(ReadGameModel(File(marked), &subMeshes, &reason)) << reason;
  EXPECT_EQ(subMeshes[0].m_fileWord, 0xDEADBEEFu);
  EXPECT_EQ(subMeshes[1].m_fileWord, 7u);
  EXPECT_EQ(subMeshes[1].m_baseVertex, 0) << "read fresh, not placed";
  EXPECT_EQ(subMeshes[1].m_indices, (std::vector<WORD>{0, 1, 2, 0, 2, 3}));
}

TEST_F(MeshTest, CountZeroAsksForZeroLengthBuffers) {
  const std::string path = dir.Write("zero.GAMEMODEL", File({}));
  ASSERT_EQ(File({}).size(), 68u);
  CMesh* mesh = R().CreateMesh(path);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(fake::CallsNamed("CreateVertexBuffer")[0].args[0], 0u);
  EXPECT_EQ(fake::CallsNamed("CreateIndexBuffer")[0].args[0], 0u);
  fake::Clear();
  mesh->Draw(R().m_pDevice);
  EXPECT_EQ(fake::Calls().size(), 0u);

  fake::AllowZeroLengthBuffers(false);
  const Registries before = Snapshot();
  EXPECT_EQ(R().CreateMesh(path), nullptr);
  EXPECT_TRUE(Snapshot() == before);
  EXPECT_EQ(R().m_lastError.rfind(path + ": holds no sub-meshes (0x", 0), 0u) << R().m_lastError;
}

TEST(SubMeshTest, RebaseMovesIndicesModulo65536) {
  CSubMesh subMesh;
  subMesh.m_indices = {0, 1, 2, 65535};
  subMesh.Rebase(65534);
  EXPECT_EQ(subMesh.m_baseVertex, 65534);
  EXPECT_EQ(subMesh.m_indices, (std::vector<WORD>{65534, 65535, 0, 65533}));
  subMesh.Rebase(3);  // back down: the difference wraps too
  EXPECT_EQ(subMesh.m_indices, (std::vector<WORD>{3, 4, 5, 2}));
  subMesh.Rebase(0);
  EXPECT_EQ(subMesh.m_indices, (std::vector<WORD>{0, 1, 2, 65535}));
}

TEST(GameModelWriterTest, WritesWhatTheReaderReadsAndRefusesWhatItRejects) {
  std::vector<CSubMesh> subMeshes;
  std::string reason;
  ASSERT_TRUE(ReadGameModel(File(gm::TriangleAndQuad()), &subMeshes, &reason));
  PlaceSubMeshes(&subMeshes);  // the writer stores local indices whatever the base
  std::string bytes;
  ASSERT_TRUE(WriteGameModel(subMeshes, "", &bytes, &reason)) << reason;
  EXPECT_EQ(bytes, File(gm::TriangleAndQuad()));

  subMeshes[1].m_indices[0] = 7;  // local 4: out of its 4 vertices
  EXPECT_FALSE(WriteGameModel(subMeshes, "", &bytes, &reason));
  EXPECT_NE(reason.find("not less than"), std::string::npos) << reason;
  subMeshes[1].m_indices.clear();
  EXPECT_FALSE(WriteGameModel(subMeshes, "", &bytes, &reason));
}

}  // namespace
