// CRenderer's texture records on the fake device: one record and one load
// per distinct name, failed loads registering nothing, and Reset reloading.
#include <gtest/gtest.h>

#include "fake/FakeDevice.h"
#include "graphics/Renderer.h"
#include "graphics/Texture.h"
#include "support/RegistryTest.h"
#include "texture/DdsWriter.h"

namespace {

using namespace texture_test;

class TextureCacheTest : public DeviceRegistryTest {
 protected:
  void SetUp() override {
    createdBefore = fake::TexturesCreated();
    DeviceRegistryTest::SetUp();
  }
  static std::vector<uint8_t> Dds(UINT size) {
    return WriteDds(A8R8G8B8(size, size), Pattern(static_cast<size_t>(size) * size * 4));
  }
  static UINT WidthOf(IDirect3DTexture9* tex) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(tex->GetLevelDesc(0, &desc), D3D_OK);
    return desc.Width;
  }
  // Textures created since SetUp (the fake's count runs over the whole process).
  int Created() const { return fake::TexturesCreated() - createdBefore; }
  int createdBefore = 0;
  TempDir dir{"cache"};
};

TEST_F(TextureCacheTest, TheSameNameTwiceIsOneRecordAndOneLoad) {
  WriteFile(dir.path() / "panel.dds", Dds(4));
  CTexture* first = R().LoadTexture(dir.Wide("panel.dds"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(R().LoadTexture(dir.Wide("panel.dds")), first);
  EXPECT_EQ(R().m_textures.size(), 1u);
  EXPECT_EQ(Created(), 1);
  EXPECT_EQ(first->GetFileName(), dir.Wide("panel.dds"));
  EXPECT_EQ(first->m_surfaceDesc.Width, 4u);
  EXPECT_EQ(first->m_surfaceDesc.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(first->m_surfaceDesc.Pool, D3DPOOL_MANAGED);
}

TEST_F(TextureCacheTest, NamesDifferingInCaseAreTwoRecordsOfTwoFiles) {
  // On Linux these are two files; each record holds its own file's texture.
  WriteFile(dir.path() / "Tex.dds", Dds(4));
  WriteFile(dir.path() / "tex.dds", Dds(8));
  CTexture* upper = R().LoadTexture(dir.Wide("Tex.dds"));
  CTexture* lower = R().LoadTexture(dir.Wide("tex.dds"));
  ASSERT_NE(upper, nullptr);
  ASSERT_NE(lower, nullptr);
  EXPECT_NE(upper, lower);
  EXPECT_EQ(R().m_textures.size(), 2u);
  EXPECT_EQ(Created(), 2);
  EXPECT_EQ(upper->m_surfaceDesc.Width, 4u);
  EXPECT_EQ(lower->m_surfaceDesc.Width, 8u);
}

TEST_F(TextureCacheTest, SlashAndBackslashSpellingsAreTwoRecordsOfOneFile) {
  // Both separators name the same file (as on Windows); the records compare
  // names, so each spelling is loaded once and kept apart.
  std::filesystem::create_directories(dir.path() / "sub");
  WriteFile(dir.path() / "sub" / "panel.dds", Dds(4));
  CTexture* slash = R().LoadTexture(dir.Wide("sub") + L"/panel.dds");
  CTexture* backslash = R().LoadTexture(dir.Wide("sub") + L"\\panel.dds");
  ASSERT_NE(slash, nullptr);
  ASSERT_NE(backslash, nullptr);
  EXPECT_NE(slash, backslash);
  EXPECT_NE(slash->m_pD3DTexture, backslash->m_pD3DTexture);
  EXPECT_EQ(R().LoadTexture(dir.Wide("sub") + L"\\panel.dds"), backslash);
  EXPECT_EQ(R().m_textures.size(), 2u);
  EXPECT_EQ(Created(), 2);
}

TEST_F(TextureCacheTest, AFailedLoadRegistersNothingAndIsRetried) {
  const std::wstring name = dir.Wide("late.dds");
  EXPECT_EQ(R().LoadTexture(name), nullptr);
  EXPECT_TRUE(R().m_textures.empty());
  WriteFile(dir.path() / "late.dds", {'D', 'D', 'S', ' ', 1, 2, 3});
  EXPECT_EQ(R().LoadTexture(name), nullptr);
  EXPECT_TRUE(R().m_textures.empty());
  EXPECT_EQ(Created(), 0);

  WriteFile(dir.path() / "late.dds", Dds(4));
  CTexture* loaded = R().LoadTexture(name);
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(loaded->m_pD3DTexture, nullptr);
  EXPECT_EQ(R().m_textures.size(), 1u);
  EXPECT_EQ(Created(), 1);
}

TEST_F(TextureCacheTest, ResetReloadsEveryRecordAndKeepsTheFirstDescription) {
  WriteFile(dir.path() / "a.dds", Dds(4));
  WriteFile(dir.path() / "b.dds", Dds(2));
  CTexture* a = R().LoadTexture(dir.Wide("a.dds"));
  CTexture* b = R().LoadTexture(dir.Wide("b.dds"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  const int live = fake::LiveObjects();

  // The file changes on disk: the reload picks up the new size, the record's
  // description stays the one of its first load.
  WriteFile(dir.path() / "a.dds", Dds(16));
  fake::Clear();
  ASSERT_EQ(R().Reset(), D3D_OK);
  EXPECT_EQ(fake::LiveObjects(), live) << "the old textures are released";
  EXPECT_EQ(Created(), 4);
  const auto creates = fake::CallsNamed("CreateTexture");
  ASSERT_EQ(creates.size(), 2u);
  EXPECT_EQ(creates[0].args[0], 16u);
  EXPECT_EQ(creates[1].args[0], 2u);
  ASSERT_NE(a->m_pD3DTexture, nullptr);
  ASSERT_NE(b->m_pD3DTexture, nullptr);
  EXPECT_EQ(WidthOf(a->m_pD3DTexture), 16u);
  EXPECT_EQ(a->m_surfaceDesc.Width, 4u);
  EXPECT_EQ(WidthOf(b->m_pD3DTexture), 2u);
  EXPECT_EQ(R().m_textures.size(), 2u);
}

TEST_F(TextureCacheTest, AFailedResetLeavesTheRecordsEmpty) {
  WriteFile(dir.path() / "a.dds", Dds(4));
  CTexture* a = R().LoadTexture(dir.Wide("a.dds"));
  ASSERT_NE(a, nullptr);
  fake::FailCall("Reset", D3DERR_DEVICELOST);
  EXPECT_EQ(R().Reset(), D3DERR_DEVICELOST);
  EXPECT_EQ(a->m_pD3DTexture, nullptr);
  EXPECT_EQ(Created(), 1);
  EXPECT_EQ(R().m_textures.size(), 1u);
}

}  // namespace
