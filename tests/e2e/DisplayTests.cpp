// The program against X servers of its own (Xvfb on a free display): the
// window is made at every colour depth GL can draw to, and when the display
// goes away (the server killed, the window killed or destroyed by another
// client) once it runs, the program ends at once with one line on standard
// error and a non-zero exit code. Each loss is repeated to catch a hang that comes
// only sometimes.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e/DemoProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

// One Xvfb, which picks its own free display (-displayfd).
class OwnServer {
 public:
  explicit OwnServer(const std::vector<std::string>& options) {
    int fds[2];
    if (pipe(fds) != 0) return;
    // -noreset: the server stays up when its last client goes, as each program run does.
    std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);  // before fd 3 is taken: it may be fd 3
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char number[16] = {};
    size_t n = 0;
    while (m_pid > 0 && n + 1 < sizeof(number) && read(fds[0], number + n, 1) == 1 && number[n] != '\n') ++n;
    close(fds[0]);
    if (n > 0) m_display = ":" + std::string(number, n);
  }
  ~OwnServer() { Kill(SIGTERM); }
  OwnServer(const OwnServer&) = delete;
  OwnServer& operator=(const OwnServer&) = delete;

  const std::string& display() const { return m_display; }
  void Kill(int signal) {
    if (m_pid <= 0) return;
    kill(m_pid, signal);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
  std::string m_display;
};

// Waits (up to a minute: the machine may be busy) for the program's window
// on `display`; 0 if it never came.
Window WaitForWindow(Display* display, pid_t pid) {
  for (int i = 0; i < 1200; ++i) {
    if (const Window w = FindWindow(display, DefaultRootWindow(display), "Ostrevin", pid)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

// A folder of its own for the first frame's capture, removed at the end.
class CaptureFolder {
 public:
  CaptureFolder() {
    char name[] = "/tmp/ostrevin-display-XXXXXX";
    if (mkdtemp(name) != nullptr) m_path = name;
  }
  ~CaptureFolder() {
    if (m_path.empty()) return;
    unlink(FirstFrame().c_str());
    rmdir(m_path.c_str());
  }
  CaptureFolder(const CaptureFolder&) = delete;
  CaptureFolder& operator=(const CaptureFolder&) = delete;
  const std::string& path() const { return m_path; }
  std::string FirstFrame() const { return m_path + "/frame-00001.png"; }

 private:
  std::string m_path;
};

// The program on `display`, writing its first frame into `capture` when it
// presents it: the sign that it has made its window and device and runs.
Process StartOn(const std::string& display, const CaptureFolder& capture) {
  return Start({{"DISPLAY", display.c_str()}, {"WAYLAND_DISPLAY", nullptr}, {"SDL_VIDEODRIVER", nullptr},
                {"OSTREVIN_MESSAGEBOX", "0"}, {"OSTREVIN_EXIT_AFTER", nullptr},
                {"OSTREVIN_CAPTURE", capture.path().c_str()}, {"OSTREVIN_CAPTURE_FRAMES", "1"}});
}

// Waits (up to 60 s) until the program has presented its first frame: a
// loss before that would meet it still starting, which is another path.
bool WaitForFirstFrame(const CaptureFolder& capture) {
  for (int i = 0; i < 1200; ++i) {
    if (access(capture.FirstFrame().c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// The program ended by itself after `lost`, with one line. It notices the
// loss at once (well under a second here); the bound is ten times that and
// more, so that a busy machine does not fail the test, while a program that
// waits for something else before it notices still does.
void ExpectPromptExit(const Process& p, Clock::time_point lost) {
  const RunResult run = Wait(p, 60);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lost);
  EXPECT_LT(took.count(), 10000) << run.stderrText;
  EXPECT_GT(run.exitCode, 0) << run.stderrText;
  EXPECT_LT(run.exitCode, 128) << "ended by a signal or timed out: " << run.stderrText;
  ASSERT_FALSE(run.stderrText.empty());
  EXPECT_EQ(run.stderrText.find('\n'), run.stderrText.size() - 1) << "one line: " << run.stderrText;
  EXPECT_EQ(run.stderrText.rfind("ostrevin: ", 0), 0u) << run.stderrText;
}

constexpr int kRepetitions = 10;

TEST(DisplayLoss, TheServerEndingEndsTheProgram) {
  for (int i = 0; i < kRepetitions; ++i) {
    SCOPED_TRACE(i);
    OwnServer server({"-screen", "0", "1024x768x24"});
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    const CaptureFolder capture;
    ASSERT_FALSE(capture.path().empty());
    const Process p = StartOn(server.display(), capture);
    ASSERT_GT(p.pid, 0);
    Display* display = XOpenDisplay(server.display().c_str());
    ASSERT_NE(display, nullptr);
    const Window window = WaitForWindow(display, p.pid);
    XCloseDisplay(display);
    EXPECT_NE(window, 0u);
    EXPECT_TRUE(WaitForFirstFrame(capture));
    // At different points of a frame: at once, and up to a few frames on.
    std::this_thread::sleep_for(std::chrono::milliseconds(i * 13 % 70));
    const auto lost = Clock::now();
    server.Kill(i % 2 == 0 ? SIGKILL : SIGTERM);
    ExpectPromptExit(p, lost);
  }
}

// Killing the program's connection is what xkill and "xdotool windowkill"
// do; destroying the window leaves the connection up.
TEST(DisplayLoss, TheWindowKilledOrDestroyedByAnotherClientEndsTheProgram) {
  OwnServer server({"-screen", "0", "1024x768x24"});
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  for (int i = 0; i < 2 * kRepetitions; ++i) {
    const bool destroy = i % 2 == 1;
    SCOPED_TRACE(std::to_string(i) + (destroy ? " XDestroyWindow" : " XKillClient"));
    const CaptureFolder capture;
    ASSERT_FALSE(capture.path().empty());
    const Process p = StartOn(server.display(), capture);
    ASSERT_GT(p.pid, 0);
    Display* display = XOpenDisplay(server.display().c_str());
    ASSERT_NE(display, nullptr);
    const Window window = WaitForWindow(display, p.pid);
    EXPECT_NE(window, 0u);
    EXPECT_TRUE(WaitForFirstFrame(capture));
    std::this_thread::sleep_for(std::chrono::milliseconds(i * 13 % 70));
    const auto lost = Clock::now();
    if (window != 0) {
      if (destroy) {
        XDestroyWindow(display, window);
      } else {
        XKillClient(display, window);
      }
      XSync(display, False);
    } else {
      kill(p.pid, SIGTERM);
    }
    ExpectPromptExit(p, lost);
    XCloseDisplay(display);
  }
}

// The window and its GL context on screens of every depth GL draws to, with
// and without the Composite extension's 32-bit visual.
TEST(Visuals, TheProgramRunsOnEveryColourDepth) {
  const struct {
    const char* what;
    std::vector<std::string> options;
  } cases[] = {
      {"24-bit", {"-screen", "0", "1280x1024x24"}},
      {"24-bit without an ARGB visual", {"-screen", "0", "1280x1024x24", "-extension", "Composite"}},
      {"16-bit without an ARGB visual", {"-screen", "0", "1280x1024x16", "-extension", "Composite"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OwnServer server(c.options);
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    const RunResult run = RunDemo({{"DISPLAY", server.display().c_str()}, {"WAYLAND_DISPLAY", nullptr},
                                   {"SDL_VIDEODRIVER", nullptr}, {"OSTREVIN_MESSAGEBOX", "0"},
                                   {"OSTREVIN_EXIT_AFTER", "10"}, {"OSTREVIN_STATS", "1"}});
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_NE(run.stderrText.find("frames=10"), std::string::npos) << run.stderrText;
  }
}

}  // namespace
