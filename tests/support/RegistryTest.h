// Base fixture of the tests of CRenderer and its registries on the recording
// fake device: empty registries and a clear call record before each test,
// and every object given back after it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "fake/FakeDevice.h"
#include "graphics/Renderer.h"

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    R().ReleaseAll();
    fake::Clear();
    liveBefore = fake::LiveObjects();
  }
  void TearDown() override {
    R().ReleaseAll();
    EXPECT_EQ(fake::LiveObjects(), liveBefore) << "objects left alive";
    fake::Clear();
  }
  static CRenderer& R() { return CRenderer::Instance(); }
  static HWND Window() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)); }

  int liveBefore = 0;
};

// The same, with CRenderer's device made on an 800x600 window before each test.
class DeviceRegistryTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_TRUE(R().Init(Window(), 800, 600));
  }
};
