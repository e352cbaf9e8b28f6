// Fixture of the demo scene's tests on the recording fake device: each test
// runs in a fresh copy of the demo folder with a COstrevin3D of its own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fake/FakeDevice.h"
#include "fake/FakeUser32.h"
#include "graphics/Renderer.h"
#include "graphics/Shader.h"
#include "scene/Ostrevin3D.h"
#include "support/ProgramWindow.h"

namespace fs = std::filesystem;

// Runs each test in a fresh copy of the demo folder (the program reads its
// inputs relative to the working directory).
class SceneTest : public ::testing::Test {
 protected:
  static constexpr const char* kInputs[] = {"vs-phong.hlsl",      "ps-phong.hlsl",         "Data/panel-01-diff.dds",
                                            "Data/top.GAMEMODEL", "Data/middle.GAMEMODEL", "Data/bottom.GAMEMODEL"};

  void SetUp() override {
    const char* demo = std::getenv("OSTREVIN_DEMO_DIR");
    ASSERT_NE(demo, nullptr) << "OSTREVIN_DEMO_DIR not set";
    m_previous = fs::current_path();
    m_dir = fs::temp_directory_path() / ("ostrevin-scene-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "Data");
    for (const char* input : kInputs) fs::copy_file(fs::path(demo) / input, m_dir / input);
    fs::current_path(m_dir);
    CRenderer::Instance().ReleaseAll();
    fake::Clear();
    fake::SetClientSize(kProgramClientWidth, kProgramClientHeight);
    fake::SetKeysDown({});
    fake::TakeDebugOutput();
    m_live = fake::LiveObjects();
    m_app.m_hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5150));
  }
  void TearDown() override {
    m_app.Destroy();
    EXPECT_EQ(fake::LiveObjects(), m_live) << "objects left alive after Destroy";
    fake::Clear();
    fs::current_path(m_previous);
    fs::remove_all(m_dir);
  }

  // Register index of a vertex-shader constant, from the constant table.
  UINT Register(const char* name) {
    D3DXCONSTANT_DESC desc;
    UINT count = 1;
    ID3DXConstantTable* table = m_app.m_pVertexShader->m_pConstantTable;
    EXPECT_EQ(table->GetConstantDesc(table->GetConstantByName(NULL, name), &desc, &count), D3D_OK) << name;
    return desc.RegisterIndex;
  }

  COstrevin3D m_app;
  fs::path m_previous, m_dir;
  int m_live = 0;
};

