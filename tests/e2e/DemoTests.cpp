// The real ostrevin binary end to end, under the Xvfb display that the test
// command starts: captured frames checked against the scene's geometry,
// keyboard input through the layer's switch, a lost device, the window's
// title and close button, and the start-up failure without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <d3dx9.h>

#include "e2e/DemoProcess.h"
#include "support/PngImage.h"
#include "mesh/GameModel.h"
#include "mesh/SubMesh.h"

namespace {

namespace fs = std::filesystem;

std::string FrameName(unsigned n) {
  char name[32];
  std::snprintf(name, sizeof(name), "frame-%05u.png", n);
  return name;
}

struct Rect {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // inclusive
  bool Empty() const { return x1 < x0; }
  bool Contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
  void Add(int x, int y) {
    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  }
  Rect Grown(int m) const { return {x0 - m, y0 - m, x1 + m, y1 + m}; }
};

Rect LitBounds(const Image& img) {
  Rect r;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (!img.Black(x, y)) r.Add(x, y);
  return r;
}

// The scene as the program sets it up, computed here from the generated
// models and the fixed camera.
class Scene {
 public:
  bool Load() {
    const char* names[] = {"top", "middle", "bottom"};
    for (int i = 0; i < 3; ++i) {
      std::ifstream f(DemoDir() + "/Data/" + names[i] + ".GAMEMODEL", std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      std::vector<CSubMesh> subMeshes;
      std::string error;
      if (!ReadGameModel(bytes, &subMeshes, &error)) return false;
      for (const CSubMesh& s : subMeshes)
        for (const CVertex& v : s.m_vertices) m_points[i].push_back(v.m_position);
    }
    return true;
  }

  // Screen rectangle of part (0 top, 1 middle, 2 bottom) at frame n, with
  // the camera moved `forward` units along its viewing axis.
  Rect Project(int part, unsigned frame, float forward, int width, int height) const {
    float t = 0.0f;
    for (unsigned i = 0; i < frame; ++i) t = t + 0.03f;
    const float cos3t = static_cast<float>(std::cos(static_cast<double>(3.0f * t)));
    const float cost = static_cast<float>(std::cos(static_cast<double>(t)));
    const float aTop = static_cast<float>(static_cast<double>(0.2f) * cos3t - cost);
    D3DXMATRIX top, middle, bottom;
    D3DXMatrixRotationZ(&top, aTop);
    top._42 = 16.0f;
    D3DXMatrixRotationZ(&middle, cost);
    middle._42 = 10.0f;
    D3DXMatrixIdentity(&bottom);
    D3DXMATRIX world[3];
    world[2] = bottom;
    world[1] = middle * bottom;
    world[0] = top * world[1];

    const D3DXVECTOR3 eye(25, 75, 75), at(0, 30, 0), up(0, 1, 0);
    D3DXMATRIX view, camera, proj;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixInverse(&camera, nullptr, &view);
    camera._41 += forward * camera._31;
    camera._42 += forward * camera._32;
    camera._43 += forward * camera._33;
    D3DXMatrixInverse(&view, nullptr, &camera);
    D3DXMatrixPerspectiveFovLH(&proj, 1.0471976f, 4.0f / 3.0f, 1.0f, 200.0f);
    const D3DXMATRIX m = world[part] * view * proj;
    Rect r;
    for (const D3DXVECTOR3& p : m_points[part]) {
      D3DXVECTOR3 ndc;
      D3DXVec3TransformCoord(&ndc, &p, &m);
      r.Add(static_cast<int>(std::floor((ndc.x + 1) * 0.5f * width)),
            static_cast<int>(std::floor((1 - ndc.y) * 0.5f * height)));
    }
    return r;
  }
  Rect ProjectAll(unsigned frame, float forward, int w, int h) const {
    Rect r;
    for (int part = 0; part < 3; ++part) {
      const Rect p = Project(part, frame, forward, w, h);
      r.Add(p.x0, p.y0);
      r.Add(p.x1, p.y1);
    }
    return r;
  }

 private:
  std::vector<D3DXVECTOR3> m_points[3];
};

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(DemoDir().empty());
    ASSERT_TRUE(fs::exists(DemoDir() + "/ostrevin"));
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the end-to-end tests need the Xvfb display of ./test.sh";
    m_capture = fs::temp_directory_path() / ("ostrevin-capture-" + std::to_string(::getpid()));
    fs::remove_all(m_capture);
    fs::create_directories(m_capture);
    ASSERT_TRUE(m_scene.Load());
  }
  void TearDown() override { fs::remove_all(m_capture); }

  RunResult Capture(const char* exitAfter, const char* frames, std::map<std::string, const char*> extra = {}) {
    const std::string dir = m_capture.string();
    extra["OSTREVIN_EXIT_AFTER"] = exitAfter;
    extra["OSTREVIN_CAPTURE"] = dir.c_str();
    extra["OSTREVIN_CAPTURE_FRAMES"] = frames;
    extra["OSTREVIN_STATS"] = "1";
    extra["OSTREVIN_VSYNC"] = "0";
    extra["OSTREVIN_MESSAGEBOX"] = "0";
    return RunDemo(extra);
  }
  Image Frame(unsigned n) {
    Image img;
    EXPECT_TRUE(ReadPng((m_capture / FrameName(n)).string(), &img)) << FrameName(n);
    return img;
  }
  static void ExpectCleanExit(const RunResult& run) {
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_NE(run.stderrText.find("live_objects=0"), std::string::npos) << run.stderrText;
    EXPECT_EQ(run.stderrText.find("still alive"), std::string::npos) << run.stderrText;
  }

  fs::path m_capture;
  Scene m_scene;
};

TEST_F(DemoTest, FramesShowTheLitModelWhereTheCameraSeesIt) {
  const RunResult run = Capture("100", "1,100");
  ExpectCleanExit(run);
  const Image f1 = Frame(1), f100 = Frame(100);
  ASSERT_EQ(f1.width, 784);
  ASSERT_EQ(f1.height, 561);

  for (unsigned n : {1u, 100u}) {
    const Image& img = n == 1 ? f1 : f100;
    const Rect expected = m_scene.ProjectAll(n, 0.0f, img.width, img.height).Grown(2);
    const Rect lit = LitBounds(img);
    ASSERT_FALSE(lit.Empty()) << "frame " << n << " is black";
    EXPECT_TRUE(expected.Contains(lit.x0, lit.y0) && expected.Contains(lit.x1, lit.y1))
        << "frame " << n << ": lit " << lit.x0 << "," << lit.y0 << "-" << lit.x1 << "," << lit.y1 << " outside "
        << expected.x0 << "," << expected.y0 << "-" << expected.x1 << "," << expected.y1;
    // The model fills most of its projected box, with a spread of shades.
    EXPECT_GT(lit.x1 - lit.x0, (expected.x1 - expected.x0) * 3 / 4) << "frame " << n;
    std::set<int> shades;
    for (int y = lit.y0; y <= lit.y1; ++y)
      for (int x = lit.x0; x <= lit.x1; ++x)
        if (!img.Black(x, y)) {
          const uint8_t* p = img.At(x, y);
          shades.insert((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000);
        }
    EXPECT_GE(shades.size(), 60u) << "frame " << n << " looks flat";
  }

  // The arms swing between the frames; the pedestal alone does not change.
  Rect arms;
  for (unsigned n : {1u, 100u})
    for (int part = 0; part < 2; ++part) {
      const Rect r = m_scene.Project(part, n, 0.0f, f1.width, f1.height).Grown(3);
      arms.Add(r.x0, r.y0);
      arms.Add(r.x1, r.y1);
    }
  const Rect pedestal = m_scene.Project(2, 1, 0.0f, f1.width, f1.height);
  int pedestalPixels = 0, pedestalChanged = 0, armsChanged = 0;
  for (int y = 0; y < f1.height; ++y)
    for (int x = 0; x < f1.width; ++x) {
      const bool same = std::memcmp(f1.At(x, y), f100.At(x, y), 3) == 0;
      if (pedestal.Contains(x, y) && !arms.Contains(x, y)) {
        ++pedestalPixels;
        pedestalChanged += same ? 0 : 1;
      } else if (arms.Contains(x, y)) {
        armsChanged += same ? 0 : 1;
      }
    }
  EXPECT_GT(pedestalPixels, 100);
  EXPECT_EQ(pedestalChanged, 0);
  EXPECT_GT(armsChanged, 500);
}

TEST_F(DemoTest, HoldingUpMovesTheCameraForward) {
  const RunResult still = Capture("31", "31");
  ExpectCleanExit(still);
  const Image before = Frame(31);
  const RunResult moved = Capture("31", "31", {{"OSTREVIN_KEYS", "UP:1-30"}});
  ExpectCleanExit(moved);
  const Image after = Frame(31);

  const Rect predictedBefore = m_scene.ProjectAll(31, 0.0f, before.width, before.height);
  const Rect predictedAfter = m_scene.ProjectAll(31, 60.0f, after.width, after.height);
  // 30 frames at 2 units each: 60 units closer, the model's projection grows
  // as computed (and may run past the screen's edges).
  const double grow =
      static_cast<double>(predictedAfter.y1 - predictedAfter.y0) / (predictedBefore.y1 - predictedBefore.y0);
  EXPECT_GT(grow, 1.5);
  const struct {
    const Image& image;
    Rect predicted;
  } runs[] = {{before, predictedBefore}, {after, predictedAfter}};
  for (const auto& r : runs) {
    const Rect lit = LitBounds(r.image);
    const Rect p = {std::max(r.predicted.x0, 0), std::max(r.predicted.y0, 0), std::min(r.predicted.x1, r.image.width - 1),
                    std::min(r.predicted.y1, r.image.height - 1)};
    EXPECT_NEAR(lit.x0, p.x0, 3);
    EXPECT_NEAR(lit.y0, p.y0, 3);
    EXPECT_NEAR(lit.x1, p.x1, 3);
    EXPECT_NEAR(lit.y1, p.y1, 3);
  }
}

TEST_F(DemoTest, ALostDeviceIsSurvivedWithTexturesBack) {
  const RunResult clean = Capture("60", "60");
  ExpectCleanExit(clean);
  const Image reference = Frame(60);
  fs::remove(m_capture / FrameName(60));
  const RunResult lost = Capture("60", "40,60", {{"OSTREVIN_PRESENT_FAIL", "45,50"}});
  ExpectCleanExit(lost);
  const Image after = Frame(60);
  ASSERT_EQ(after.rgb.size(), reference.rgb.size());
  EXPECT_TRUE(after.rgb == reference.rgb) << "frame 60 after two lost frames differs from an undisturbed run";
}

TEST(DemoWindow, ShowsTitledWindowAndClosingItExitsWithZero) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr);
  const Process p = Start({{"OSTREVIN_MESSAGEBOX", "0"}, {"OSTREVIN_EXIT_AFTER", nullptr}});
  ASSERT_GT(p.pid, 0);
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  Window window = 0;
  for (int i = 0; i < 1200 && window == 0; ++i) {
    window = FindWindow(display, DefaultRootWindow(display), "Ostrevin", p.pid);
    if (window == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(window, 0u) << "no window titled Ostrevin";
  if (window != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it draw a few frames
    XEvent event;
    std::memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
  } else {
    kill(p.pid, SIGTERM);
  }
  XCloseDisplay(display);
  const RunResult run = Wait(p, 60);
  EXPECT_EQ(run.exitCode, 0) << run.stderrText;
  EXPECT_EQ(run.stderrText.find("still alive"), std::string::npos) << run.stderrText;
}

TEST(DemoWindow, WithoutADisplayItShowsTheMessageAndExitsWithOne) {
  const RunResult run = RunDemo({{"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}, {"SDL_VIDEODRIVER", nullptr},
                           {"OSTREVIN_MESSAGEBOX", "0"}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.stderrText.find("myApp.Create failed!"), std::string::npos) << run.stderrText;
  EXPECT_TRUE(fs::exists(DemoDir() + "/a.out"));
  EXPECT_EQ(fs::file_size(DemoDir() + "/a.out"), 0u);
}

}  // namespace
