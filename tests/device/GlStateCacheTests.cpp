// The device's GL binding cache over recording stand-ins for the GL entry
// points: what it binds, what it skips, and what it binds again after a name
// was forgotten or the cache invalidated.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/d3d9/GlStateCache.h"

namespace {

using ostrevin::d3d9::GlStateCache;
namespace gl = ostrevin::gl;

std::vector<std::string> g_calls;

void Record(const char* what, GLuint value) { g_calls.push_back(std::string(what) + " " + std::to_string(value)); }
void APIENTRY FakeUseProgram(GLuint name) { Record("UseProgram", name); }
void APIENTRY FakeBindVertexArray(GLuint name) { Record("BindVertexArray", name); }
void APIENTRY FakeBindBuffer(GLenum, GLuint name) { Record("BindBuffer", name); }
void APIENTRY FakeActiveTexture(GLenum unit) { Record("ActiveTexture", unit - GL_TEXTURE0); }
void APIENTRY FakeBindTexture(GLenum, GLuint name) { Record("BindTexture", name); }

class GlStateCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gl::UseProgram = FakeUseProgram;
    gl::BindVertexArray = FakeBindVertexArray;
    gl::BindBuffer = FakeBindBuffer;
    gl::ActiveTexture = FakeActiveTexture;
    gl::BindTexture = FakeBindTexture;
    g_calls.clear();
  }
  void BindEach(GLuint name) {
    m_cache.UseProgram(name);
    m_cache.BindVertexArray(name);
    m_cache.BindCopyWriteBuffer(name);
    m_cache.BindTexture(2, name);
  }
  std::vector<std::string> Take() { return std::exchange(g_calls, {}); }

  GlStateCache m_cache;
};

TEST_F(GlStateCacheTest, BindsOnlyWhatChangedUntilInvalidated) {
  const std::vector<std::string> each = {"UseProgram 7", "BindVertexArray 7", "BindBuffer 7", "ActiveTexture 2",
                                         "BindTexture 7"};
  BindEach(7);
  EXPECT_EQ(Take(), each);
  BindEach(7);
  EXPECT_TRUE(Take().empty());
  m_cache.Invalidate();
  BindEach(7);
  EXPECT_EQ(Take(), each);
}

TEST_F(GlStateCacheTest, AForgottenNameIsBoundAgain) {
  BindEach(7);
  m_cache.BindTexture(5, 7);
  Take();
  m_cache.ForgetProgram(7);
  m_cache.ForgetVertexArray(7);
  m_cache.ForgetBuffer(7);
  m_cache.ForgetTexture(7);
  BindEach(7);
  m_cache.BindTexture(5, 7);
  EXPECT_EQ(Take(), (std::vector<std::string>{"UseProgram 7", "BindVertexArray 7", "BindBuffer 7", "ActiveTexture 2",
                                              "BindTexture 7", "ActiveTexture 5", "BindTexture 7"}));
}

TEST_F(GlStateCacheTest, UploadsGoToTheUploadUnitEvenWhenItsTextureIsBound) {
  m_cache.BindTextureForUpload(9);
  m_cache.BindTexture(0, 8);
  EXPECT_EQ(Take(), (std::vector<std::string>{"ActiveTexture 15", "BindTexture 9", "ActiveTexture 0", "BindTexture 8"}));
  m_cache.BindTextureForUpload(9);  // bound already: only the unit changes
  EXPECT_EQ(Take(), (std::vector<std::string>{"ActiveTexture 15"}));
}

}  // namespace
