// The device's GL binding cache over recording stand-ins for the GL entry
// points: what it binds, what it skips, and what it binds again after a name
// was forgotten, another vertex array bound or the cache invalidated.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/d3d9/gl/GlStateCache.h"

namespace {

using ostrevin::d3d9::GlStateCache;
namespace gl = ostrevin::gl;

std::vector<std::string> g_calls;

void Record(const char* what, GLuint value) { g_calls.push_back(std::string(what) + " " + std::to_string(value)); }
void APIENTRY FakeUseProgram(GLuint name) { Record("UseProgram", name); }
void APIENTRY FakeBindVertexArray(GLuint name) { Record("BindVertexArray", name); }
void APIENTRY FakeBindBuffer(GLenum target, GLuint name) {
  Record(target == GL_ARRAY_BUFFER ? "BindBuffer array" : target == GL_ELEMENT_ARRAY_BUFFER ? "BindBuffer element"
                                                                                             : "BindBuffer copy",
         name);
}
void APIENTRY FakeBindFramebuffer(GLenum target, GLuint name) {
  Record(target == GL_FRAMEBUFFER ? "BindFramebuffer" : "BindFramebuffer draw", name);
}
void APIENTRY FakeBindRenderbuffer(GLenum, GLuint name) { Record("BindRenderbuffer", name); }
void APIENTRY FakeActiveTexture(GLenum unit) { Record("ActiveTexture", unit - GL_TEXTURE0); }
void APIENTRY FakeBindTexture(GLenum, GLuint name) { Record("BindTexture", name); }
void APIENTRY FakeBindSampler(GLuint unit, GLuint name) {
  Record(("BindSampler " + std::to_string(unit)).c_str(), name);
}

class GlStateCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gl::UseProgram = FakeUseProgram;
    gl::BindVertexArray = FakeBindVertexArray;
    gl::BindBuffer = FakeBindBuffer;
    gl::ActiveTexture = FakeActiveTexture;
    gl::BindTexture = FakeBindTexture;
    gl::BindFramebuffer = FakeBindFramebuffer;
    gl::BindRenderbuffer = FakeBindRenderbuffer;
    gl::BindSampler = FakeBindSampler;
    g_calls.clear();
  }
  void BindEach(GLuint name) {
    m_cache.UseProgram(name);
    m_cache.BindVertexArray(name);
    m_cache.BindArrayBuffer(name);
    m_cache.BindElementBuffer(name);
    m_cache.BindCopyWriteBuffer(name);
    m_cache.BindFramebuffer(name);
    m_cache.BindRenderbuffer(name);
    m_cache.BindTexture(2, name);
    m_cache.BindSampler(2, name);
  }
  // The calls of BindEach(name) into a cache that knows nothing.
  static std::vector<std::string> EachBinds(GLuint name) {
    const std::string n = std::to_string(name);
    return {"UseProgram " + n,       "BindVertexArray " + n,  "BindBuffer array " + n, "BindBuffer element " + n,
            "BindBuffer copy " + n,  "BindFramebuffer " + n,  "BindRenderbuffer " + n, "ActiveTexture 2",
            "BindTexture " + n,      "BindSampler 2 " + n};
  }
  std::vector<std::string> Take() { return std::exchange(g_calls, {}); }

  GlStateCache m_cache;
};

TEST_F(GlStateCacheTest, BindsOnlyWhatChangedUntilInvalidated) {
  const std::vector<std::string> each = EachBinds(7);
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
  m_cache.ForgetFramebuffer(7);
  m_cache.ForgetRenderbuffer(7);
  m_cache.BindSampler(2, 0);  // sampler objects live with the context: another binding instead
  Take();
  BindEach(7);
  m_cache.BindTexture(5, 7);
  std::vector<std::string> expected = EachBinds(7);
  expected.insert(expected.end(), {"ActiveTexture 5", "BindTexture 7"});
  EXPECT_EQ(Take(), expected);
}

TEST_F(GlStateCacheTest, AnElementBufferIsKnownOnlyForItsVertexArray) {
  m_cache.BindVertexArray(1);
  m_cache.BindElementBuffer(4);
  m_cache.BindVertexArray(2);
  m_cache.BindElementBuffer(4);  // the other array's binding: made again
  m_cache.BindVertexArray(1);
  m_cache.BindElementBuffer(4);  // not remembered per array: made again
  EXPECT_EQ(Take(), (std::vector<std::string>{"BindVertexArray 1", "BindBuffer element 4", "BindVertexArray 2",
                                              "BindBuffer element 4", "BindVertexArray 1", "BindBuffer element 4"}));
}

TEST_F(GlStateCacheTest, DrawingToAnotherFramebufferLeavesTheReadOne) {
  m_cache.BindFramebuffer(3);
  m_cache.BindDrawFramebuffer(0);
  m_cache.BindDrawFramebuffer(3);
  m_cache.BindFramebuffer(3);  // both bound to 3 again: nothing to do
  EXPECT_EQ(Take(),
            (std::vector<std::string>{"BindFramebuffer 3", "BindFramebuffer draw 0", "BindFramebuffer draw 3"}));
}

TEST_F(GlStateCacheTest, UploadsGoToTheUploadUnitEvenWhenItsTextureIsBound) {
  m_cache.BindTextureForUpload(9);
  m_cache.BindTexture(0, 8);
  EXPECT_EQ(Take(), (std::vector<std::string>{"ActiveTexture 15", "BindTexture 9", "ActiveTexture 0", "BindTexture 8"}));
  m_cache.BindTextureForUpload(9);  // bound already: only the unit changes
  EXPECT_EQ(Take(), (std::vector<std::string>{"ActiveTexture 15"}));
}

}  // namespace
