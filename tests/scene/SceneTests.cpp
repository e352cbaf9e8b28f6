// The demo scene on the recording fake device: one frame's calls, start-up
// failures, the animation's arithmetic and the keyboard camera.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "fake/FakeDevice.h"
#include "fake/FakeUser32.h"
#include "graphics/Renderer.h"
#include "graphics/Shader.h"
#include "graphics/Texture.h"
#include "mesh/Mesh.h"
#include "scene/Ostrevin3D.h"
#include "scene/SceneTest.h"

namespace {

uint64_t P(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// The four registers SetMatrix writes for a column_major float4x4: the transpose.
std::vector<float> Transposed(const D3DXMATRIX& m) {
  std::vector<float> out;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out.push_back(m.m[r][c]);
  return out;
}

D3DXMATRIX Translation(float x, float y, float z) {
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, x, y, z);
  return m;
}

TEST_F(SceneTest, OneFrameMakesTheCallsInOrder) {
  ASSERT_TRUE(m_app.Create());
  CRenderer& r = CRenderer::Instance();
  fake::Clear();
  m_app.Render();

  std::vector<std::string> expected = {"BeginScene", "Clear"};
  for (int i = 0; i < 8; ++i) expected.push_back("SetRenderState");
  expected.insert(expected.end(), {"SetPixelShader", "SetVertexShader", "SetVertexShaderConstantF",
                                   "SetVertexShaderConstantF", "SetVertexShaderConstantF", "SetTexture",
                                   "SetSamplerState", "SetSamplerState", "SetSamplerState"});
  CEntityModel* const models[] = {&m_app.m_top, &m_app.m_middle, &m_app.m_bottom};
  for (CEntityModel* model : models) {
    expected.insert(expected.end(),
                    {"SetVertexShaderConstantF", "SetVertexDeclaration", "SetStreamSource", "SetIndices"});
    for (size_t i = 0; i < model->m_pMesh->m_subMeshes.size(); ++i) expected.push_back("DrawIndexedPrimitive");
  }
  expected.insert(expected.end(), {"EndScene", "Present"});
  EXPECT_EQ(fake::CallNames(), expected);

  const auto clear = fake::CallsNamed("Clear");
  ASSERT_EQ(clear.size(), 1u);
  EXPECT_EQ(clear[0].args, (std::vector<uint64_t>{0, 0, 7, 0, 0}));
  EXPECT_EQ(clear[0].floats, std::vector<float>{1.0f});

  const std::vector<std::vector<uint64_t>> states = {{22, 1}, {137, 0}, {8, 3}, {9, 2},
                                                     {7, 1},  {23, 4},  {14, 1}, {27, 0}};
  const auto rs = fake::CallsNamed("SetRenderState");
  ASSERT_EQ(rs.size(), states.size());
  for (size_t i = 0; i < states.size(); ++i) EXPECT_EQ(rs[i].args, states[i]) << "render state " << i;

  const auto samplers = fake::CallsNamed("SetSamplerState");
  ASSERT_EQ(samplers.size(), 3u);
  EXPECT_EQ(samplers[0].args, (std::vector<uint64_t>{0, 5, 3}));
  EXPECT_EQ(samplers[1].args, (std::vector<uint64_t>{0, 6, 3}));
  EXPECT_EQ(samplers[2].args, (std::vector<uint64_t>{0, 7, 2}));

  EXPECT_EQ(fake::CallsNamed("SetPixelShader")[0].args[0], P(m_app.m_pPixelShader->m_pShader));
  EXPECT_EQ(fake::CallsNamed("SetVertexShader")[0].args[0], P(m_app.m_pVertexShader->m_pShader));
  ASSERT_NE(m_app.m_pTexture, nullptr);
  EXPECT_EQ(fake::CallsNamed("SetTexture")[0].args, (std::vector<uint64_t>{0, P(m_app.m_pTexture->m_pD3DTexture)}));

  // Constants: view-projection, light, eye, then one world matrix per model.
  const D3DXMATRIX view = m_app.m_camera.GetViewMatrix();
  D3DXMATRIX viewProjection;
  D3DXMatrixMultiply(&viewProjection, &view, &m_app.m_camera.m_projection);
  const auto constants = fake::CallsNamed("SetVertexShaderConstantF");
  ASSERT_EQ(constants.size(), 6u);
  EXPECT_EQ(constants[0].args, (std::vector<uint64_t>{Register("mViewProjection"), 4}));
  EXPECT_EQ(constants[0].floats, Transposed(viewProjection));
  EXPECT_EQ(constants[1].args[0], Register("vLight"));
  EXPECT_EQ(std::vector<float>(constants[1].floats.begin(), constants[1].floats.begin() + 4),
            (std::vector<float>{250, 100, 100, 0}));
  EXPECT_EQ(constants[2].args[0], Register("vCam"));
  EXPECT_EQ(std::vector<float>(constants[2].floats.begin(), constants[2].floats.begin() + 4),
            (std::vector<float>{25, 75, 75, 1}));
  const D3DXMATRIX worlds[] = {Translation(0, 26, 0), Translation(0, 10, 0), Translation(0, 0, 0)};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(constants[3 + i].args, (std::vector<uint64_t>{Register("mWorld"), 4})) << "model " << i;
    EXPECT_EQ(constants[3 + i].floats, Transposed(worlds[i])) << "model " << i;
  }

  // Each model binds the declaration, its buffers with stride 68, then draws.
  const auto streams = fake::CallsNamed("SetStreamSource");
  const auto indices = fake::CallsNamed("SetIndices");
  const auto decls = fake::CallsNamed("SetVertexDeclaration");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(streams[i].args, (std::vector<uint64_t>{0, P(models[i]->m_pMesh->m_pVertexBuffer), 0, 68}));
    EXPECT_EQ(indices[i].args[0], P(models[i]->m_pMesh->m_pIndexBuffer));
    EXPECT_EQ(decls[i].args[0], P(r.m_pVertexDecl));
  }
  EXPECT_EQ(fake::CallsNamed("Present")[0].args, (std::vector<uint64_t>{0, 0, 0, 0}));
}

TEST_F(SceneTest, CreateWithAFailingDeviceLoadsNothing) {
  fake::FailCall("CreateDevice", D3DERR_NOTAVAILABLE);
  EXPECT_FALSE(m_app.Create());
  for (const char* call : {"CreateVertexShader", "CreatePixelShader", "CreateTexture", "CreateVertexBuffer",
                           "CreateIndexBuffer"})
    EXPECT_EQ(fake::CountCalls(call), 0u) << call;
  EXPECT_EQ(m_app.m_pVertexShader, nullptr);
  EXPECT_EQ(m_app.m_pTexture, nullptr);
}

TEST_F(SceneTest, FailedBeginSceneSkipsOnlyTheClear) {
  ASSERT_TRUE(m_app.Create());
  fake::Clear();
  fake::FailCall("BeginScene", D3DERR_INVALIDCALL);
  m_app.Render();
  EXPECT_EQ(fake::CountCalls("Clear"), 0u);
  EXPECT_EQ(fake::CountCalls("SetRenderState"), 8u);
  EXPECT_EQ(fake::CountCalls("EndScene"), 1u);
  EXPECT_EQ(fake::CountCalls("Present"), 1u);
  EXPECT_GT(fake::CountCalls("DrawIndexedPrimitive"), 0u);
}

TEST_F(SceneTest, FailedPresentResetsOnceAndReloadsTheTexture) {
  ASSERT_TRUE(m_app.Create());
  IDirect3DTexture9* before = m_app.m_pTexture->m_pD3DTexture;
  const D3DSURFACE_DESC firstDesc = m_app.m_pTexture->m_surfaceDesc;
  fake::Clear();
  fake::FailCall("Present", D3DERR_DEVICELOST);
  m_app.Render();
  EXPECT_EQ(fake::CountCalls("Reset"), 1u);
  EXPECT_EQ(fake::CountCalls("CreateTexture"), 1u);
  EXPECT_NE(m_app.m_pTexture->m_pD3DTexture, nullptr);
  EXPECT_EQ(std::memcmp(&m_app.m_pTexture->m_surfaceDesc, &firstDesc, sizeof(firstDesc)), 0);
  (void)before;
  fake::Clear();
  m_app.Render();  // the next frame goes on as usual
  EXPECT_EQ(fake::CountCalls("Reset"), 0u);
  EXPECT_EQ(fake::CallsNamed("SetTexture")[0].args[1], P(m_app.m_pTexture->m_pD3DTexture));
}

TEST_F(SceneTest, RenderWithoutADeviceTouchesNothing) {
  COstrevin3D fresh;
  fake::Clear();
  fresh.Render();
  EXPECT_TRUE(fake::Calls().empty());
}

TEST_F(SceneTest, PlacementsAfterCreate) {
  ASSERT_TRUE(m_app.Create());
  EXPECT_EQ(m_app.m_bottom.GetWorldMatrix(), Translation(0, 0, 0));
  EXPECT_EQ(m_app.m_middle.GetWorldMatrix(), Translation(0, 10, 0));
  EXPECT_EQ(m_app.m_top.GetWorldMatrix(), Translation(0, 26, 0));
  const D3DXMATRIX& cam = m_app.m_camera.m_local;
  EXPECT_NEAR(cam._41, 25.0f, 1e-4f);
  EXPECT_NEAR(cam._42, 75.0f, 1e-4f);
  EXPECT_NEAR(cam._43, 75.0f, 1e-4f);
  // Forward axis points from the eye at the target.
  const float fx = -25, fy = -45, fz = -75, len = std::sqrt(fx * fx + fy * fy + fz * fz);
  EXPECT_NEAR(cam._31, fx / len, 1e-6f);
  EXPECT_NEAR(cam._32, fy / len, 1e-6f);
  EXPECT_NEAR(cam._33, fz / len, 1e-6f);
  EXPECT_NEAR(cam._22, 50.0f / std::sqrt(3310.0f), 1e-6f);  // up axis tilted toward the target, +Y up
  EXPECT_EQ(CRenderer::Instance().m_presentParams.BackBufferWidth, 784u);
  EXPECT_EQ(CRenderer::Instance().m_presentParams.BackBufferHeight, 561u);
  EXPECT_FLOAT_EQ(m_app.m_camera.m_projection._11 * (4.0f / 3.0f), m_app.m_camera.m_projection._22);
}

// The angles of one update, computed with the same roundings as the scene:
// 3t and each cosine rounded to float, 0.2 * cos(3t) - cos(t) in double.
struct Angles {
  float top, middle;
};
Angles ExpectedAngles(float t) {
  const float cos3t = static_cast<float>(std::cos(static_cast<double>(3.0f * t)));
  const float cost = static_cast<float>(std::cos(static_cast<double>(t)));
  return {static_cast<float>(static_cast<double>(0.2f) * static_cast<double>(cos3t) - static_cast<double>(cost)),
          cost};
}

void ExpectRotation(const D3DXMATRIX& local, float angle, float ty, int line) {
  D3DXMATRIX rotation;
  D3DXMatrixRotationZ(&rotation, angle);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(local.m[r][c], rotation.m[r][c]) << "row " << r << " col " << c << " line " << line;
  EXPECT_EQ(local._41, 0.0f);
  EXPECT_EQ(local._42, ty);
  EXPECT_EQ(local._43, 0.0f);
  EXPECT_EQ(local._44, 1.0f);
}

TEST_F(SceneTest, FirstUpdatesSwingTheArms) {
  ASSERT_TRUE(m_app.Create());
  const float t1 = 0.0f + 0.03f, t2 = t1 + 0.03f;
  const Angles a1 = ExpectedAngles(t1), a2 = ExpectedAngles(t2);
  EXPECT_NEAR(a1.middle, 0.99955, 1e-5);
  EXPECT_NEAR(a1.top, -0.80036, 1e-5);
  EXPECT_NEAR(a2.middle, 0.99820, 1e-5);
  EXPECT_NEAR(a2.top, -0.80143, 1e-5);

  const D3DXMATRIX bottom = m_app.m_bottom.m_local, camera = m_app.m_camera.m_local;
  m_app.Update(0.02f);
  ExpectRotation(m_app.m_top.m_local, a1.top, 16.0f, __LINE__);
  ExpectRotation(m_app.m_middle.m_local, a1.middle, 10.0f, __LINE__);
  m_app.Update(0.02f);
  ExpectRotation(m_app.m_top.m_local, a2.top, 16.0f, __LINE__);
  ExpectRotation(m_app.m_middle.m_local, a2.middle, 10.0f, __LINE__);
  EXPECT_EQ(m_app.m_bottom.m_local, bottom);
  EXPECT_EQ(m_app.m_camera.m_local, camera);  // no key held
}

TEST_F(SceneTest, AnimationKeepsTheFirstPeriodAndNeverFreezes) {
  ASSERT_TRUE(m_app.Create());
  // The animation's time is the process's own, from its start: after other
  // tests' updates in one process the first period has gone by.
  {
    m_app.Update(0.0f);
    D3DXMATRIX rotation;
    D3DXMatrixRotationZ(&rotation, ExpectedAngles(0.03f).middle);
    if (m_app.m_middle.m_local._12 != rotation._12)
      GTEST_SKIP() << "the animation has run in this process before: run this test alone (ctest does)";
  }
  // The whole first period exactly as a plain float accumulator computes it.
  float t = 0.03f;
  for (int i = 1; i < 209; ++i) {
    t = t + 0.03f;
    m_app.Update(0.0f);
    const Angles a = ExpectedAngles(t);
    D3DXMATRIX rotation;
    D3DXMatrixRotationZ(&rotation, a.middle);
    ASSERT_EQ(m_app.m_middle.m_local._11, rotation._11) << "update " << i + 1;
    ASSERT_EQ(m_app.m_middle.m_local._12, rotation._12) << "update " << i + 1;
  }
  // Far beyond the point where a growing float stops advancing (2^19 / 0.03
  // updates), the arms still move every update and by small steps.
  for (long i = 0; i < 18000000; ++i) m_app.Update(0.0f);
  float previous = m_app.m_middle.m_local._12;
  int moved = 0;
  for (int i = 0; i < 50; ++i) {
    m_app.Update(0.0f);
    const float now = m_app.m_middle.m_local._12;
    EXPECT_LT(std::fabs(now - previous), 0.05f) << "a jump in the motion";
    if (now != previous) ++moved;
    previous = now;
  }
  EXPECT_GE(moved, 49);
}

struct KeyCase {
  const char* name;
  std::set<int> keys;
  float seconds;
  float right, forward;  // expected travel along the camera's axes
};

TEST_F(SceneTest, ArrowKeysSlideTheCamera) {
  ASSERT_TRUE(m_app.Create());
  const KeyCase cases[] = {
      {"up", {VK_UP}, 0.02f, 0, 2},
      {"down", {VK_DOWN}, 0.02f, 0, -2},
      {"left", {VK_LEFT}, 0.02f, -2, 0},
      {"right", {VK_RIGHT}, 0.02f, 2, 0},
      {"up and down", {VK_UP, VK_DOWN}, 0.02f, 0, 0},
      {"up and left", {VK_UP, VK_LEFT}, 0.02f, -2, 2},
      {"all four", {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT}, 0.02f, 0, 0},
      {"zero seconds", {VK_UP, VK_LEFT}, 0.0f, 0, 0},
      {"negative seconds", {VK_UP, VK_RIGHT}, -0.02f, -2, -2},
  };
  for (const KeyCase& k : cases) {
    const D3DXMATRIX before = m_app.m_camera.m_local;
    fake::SetKeysDown(k.keys);
    m_app.Update(k.seconds);
    const D3DXMATRIX& after = m_app.m_camera.m_local;
    for (int axis = 0; axis < 3; ++axis) {
      const float expected = before.m[3][axis] + k.right * before.m[0][axis] + k.forward * before.m[2][axis];
      EXPECT_NEAR(after.m[3][axis], expected, 1e-4f) << k.name << " axis " << axis;
    }
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 4; ++col) EXPECT_EQ(after.m[row][col], before.m[row][col]) << k.name;
    EXPECT_EQ(after._44, before._44);
  }
  fake::SetKeysDown({});
  // "up and left" travels 2 along each axis: about 2.83 units in all.
  m_app.m_camera.m_local._41 = 0, m_app.m_camera.m_local._42 = 0, m_app.m_camera.m_local._43 = 0;
  fake::SetKeysDown({VK_UP, VK_LEFT});
  m_app.Update(0.02f);
  const D3DXMATRIX& c = m_app.m_camera.m_local;
  EXPECT_NEAR(std::sqrt(c._41 * c._41 + c._42 * c._42 + c._43 * c._43), 2.8284f, 1e-3f);
  fake::SetKeysDown({});
}

TEST_F(SceneTest, AMissingOrEmptyInputFailsCreateAndIsNamed) {
  for (const char* input : {"vs-phong.hlsl", "ps-phong.hlsl", "Data/top.GAMEMODEL", "Data/middle.GAMEMODEL",
                            "Data/bottom.GAMEMODEL"}) {
    for (const bool empty : {false, true}) {
      SCOPED_TRACE(std::string(input) + (empty ? " empty" : " missing"));
      fs::rename(input, std::string(input) + ".away");
      if (empty) std::ofstream(input).close();
      COstrevin3D app;
      app.m_hWnd = m_app.m_hWnd;
      EXPECT_FALSE(app.Create());
      // Shaders and models read alike.
      EXPECT_NE(fake::TakeDebugOutput().find(std::string(input) + ": missing or empty file"), std::string::npos);
      app.Destroy();
      fs::remove(input);
      fs::rename(std::string(input) + ".away", input);
    }
  }
}

TEST_F(SceneTest, AMissingTextureMeansUntexturedDrawing) {
  fs::remove("Data/panel-01-diff.dds");
  ASSERT_TRUE(m_app.Create());
  EXPECT_EQ(m_app.m_pTexture, nullptr);
  fake::Clear();
  m_app.Render();
  EXPECT_EQ(fake::CallsNamed("SetTexture")[0].args, (std::vector<uint64_t>{0, 0}));
  EXPECT_GT(fake::CountCalls("DrawIndexedPrimitive"), 0u);
}

}  // namespace
