// CShader records: CRenderer::LoadShader on the fake device with the real
// HLSL compiler.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fake/FakeDevice.h"
#include "graphics/Renderer.h"
#include "graphics/Shader.h"
#include "support/RegistryTest.h"

namespace {

class ShaderRecords : public DeviceRegistryTest {
 protected:
  void SetUp() override {
    DeviceRegistryTest::SetUp();
    if (HasFatalFailure()) return;
    char pattern[] = "/tmp/ostrevin-shaders-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    DeviceRegistryTest::TearDown();
    for (const std::string& f : files) std::remove(f.c_str());
    rmdir(dir.c_str());
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    files.push_back(path);
    return path;
  }
  static std::string Asset(const char* name) {
    const char* root = std::getenv("OSTREVIN_SOURCE_DIR");
    return std::string(root != nullptr ? root : ".") + "/assets/" + name;
  }
  std::string dir;
  std::vector<std::string> files;
};

TEST_F(ShaderRecords, ProfileChoosesTheShaderKind) {
  CShader* ps = R().LoadShader(Asset("ps-phong.hlsl"), "pixel_shader_main", "ps_2_0");
  ASSERT_NE(ps, nullptr) << R().m_lastError;
  EXPECT_TRUE(ps->m_bPixelShader);
  EXPECT_EQ(fake::CountCalls("CreatePixelShader"), 1u);
  EXPECT_EQ(fake::CountCalls("CreateVertexShader"), 0u);

  CShader* vs = R().LoadShader(Asset("vs-phong.hlsl"), "main", "vs_2_0");
  ASSERT_NE(vs, nullptr) << R().m_lastError;
  EXPECT_FALSE(vs->m_bPixelShader);
  EXPECT_EQ(fake::CountCalls("CreateVertexShader"), 1u);
  for (CShader* s : {ps, vs}) {
    EXPECT_NE(s->m_pCode, nullptr);
    EXPECT_NE(s->m_pConstantTable, nullptr);
    EXPECT_NE(s->m_pShader, nullptr);
    EXPECT_EQ(s->m_pDevice, R().m_pDevice);
  }
  // CreateVertexShader was handed the code buffer itself.
  EXPECT_EQ(fake::CallsNamed("CreateVertexShader")[0].args[0],
            reinterpret_cast<uint64_t>(vs->m_pCode->GetBufferPointer()));
}

TEST_F(ShaderRecords, FailuresLeaveNoRecord) {
  const size_t before = R().m_shaders.size();
  EXPECT_EQ(R().LoadShader(dir + "/missing.hlsl", "main", "vs_2_0"), nullptr);
  EXPECT_EQ(R().LoadShader(Write("broken.hlsl", "float4 main( : POSITION {}\n"), "main", "vs_2_0"), nullptr);
  EXPECT_NE(R().m_lastError.find("(1)"), std::string::npos) << R().m_lastError;
  EXPECT_EQ(R().m_shaders.size(), before);
  EXPECT_EQ(fake::CountCalls("CreateVertexShader"), 0u);
}

TEST_F(ShaderRecords, SameFileTwiceGivesTwoRecordsAndReleaseAllEmptiesThem) {
  const std::string path = Write("tint.hlsl", "float4 vTint;\nfloat4 main() : COLOR { return vTint; }\n");
  CShader* a = R().LoadShader(path, "main", "ps_2_0");
  CShader* b = R().LoadShader(path, "main", "ps_2_0");
  ASSERT_NE(a, nullptr) << R().m_lastError;
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(R().m_shaders.size(), 2u);

  R().ReleaseAll();
  EXPECT_TRUE(R().m_shaders.empty());
  for (CShader* s : {a, b}) {
    EXPECT_EQ(s->m_pCode, nullptr);
    EXPECT_EQ(s->m_pErrorMessages, nullptr);
    EXPECT_EQ(s->m_pConstantTable, nullptr);
    EXPECT_EQ(s->m_pShader, nullptr);
  }
}

}  // namespace
