// The shell on the real USER32 layer, with the recording stand-in application.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Child.h"
#include "StandInApplication.h"
#include "Win32Internal.h"
#include "app/Shell.h"

namespace {

// The drawable size of the window's OpenGL surface (0 x 0 for no window).
void DrawableSize(HWND hWnd, int* width, int* height) {
  *width = *height = 0;
  if (SDL_Window* window = ostrevin::win32::SdlWindow(hWnd)) SDL_GL_GetDrawableSize(window, width, height);
}

// Whether the layer got SDL's video subsystem going.
bool DisplayAvailable() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

std::string Repeat(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

void NoDisplay() {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
}

// The messages sent while the window is created reach WndProc before the
// user data points at the application: they go to DefWindowProcW, creation
// completes, and the application is not touched.
TEST(Shell, CreatesTheWindowWithoutTouchingTheApplication) {
  const ChildResult r = RunInChild([] {
    EXPECT_NE(RegisterWindowClass(), 0);
    EXPECT_EQ(RegisterWindowClass(), 0) << "the class is already registered";
    EXPECT_TRUE(CreateAppWindow());
    const HWND hWnd = myApp.m_hWnd;
    EXPECT_TRUE(IsWindow(hWnd));
    EXPECT_EQ(GetWindowLongPtrW(hWnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&myApp));
    EXPECT_EQ(myApp.log, "");
    WCHAR title[32];
    EXPECT_EQ(GetWindowTextW(hWnd, title, 32), 8);
    EXPECT_STREQ(title, L"Ostrevin");

    RECT rc;
    EXPECT_TRUE(GetClientRect(hWnd, &rc));
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right, 784);
    EXPECT_EQ(rc.bottom, 561);
    int w = 0, h = 0;
    DrawableSize(hWnd, &w, &h);
    EXPECT_EQ(w, 784);
    EXPECT_EQ(h, 561);

    // A resize by the user: the client rectangle follows.
    SDL_SetWindowSize(ostrevin::win32::SdlWindow(hWnd), 640, 480);
    MSG msg;
    for (int i = 0; i < 6000 && rc.right != 640; ++i) {  // up to 30 s on a busy machine
      while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      GetClientRect(hWnd, &rc);
      if (rc.right != 640) SDL_Delay(5);
    }
    EXPECT_EQ(rc.right, 640);
    EXPECT_EQ(rc.bottom, 480);

    // Closing destroys the window through the program's WndProc.
    SendMessageW(hWnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(ostrevin::win32::SdlWindow(hWnd), nullptr);
    EXPECT_EQ(myApp.log, "D");
    EXPECT_TRUE(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(Shell, DestroyWithoutUserDataNeitherDestroysNorQuits) {
  const ChildResult r = RunInChild([] {
    EXPECT_NE(RegisterWindowClass(), 0);
    const HWND hWnd = CreateWindowExW(0, L"GameWnd", L"Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                      320, 240, NULL, NULL, NULL, NULL);
    EXPECT_NE(hWnd, nullptr);
    EXPECT_TRUE(DestroyWindow(hWnd));
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(myApp.log, "");
    MSG msg;
    int n = 0;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE) && n++ < 100) EXPECT_NE(msg.message, static_cast<UINT>(WM_QUIT));
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// One Update(0.02f) and one Render() per idle pass, after Create, however
// many messages arrive in between; the loop returns WM_QUIT's wParam.
TEST(Shell, LoopUpdatesAndRendersOncePerIdlePass) {
  const ChildResult r = RunInChild([] {
    myApp.closeAfterRenders = 5;
    myApp.strayMessagesOnRender = 3;
    EXPECT_NE(RegisterWindowClass(), 0);
    EXPECT_TRUE(CreateAppWindow());
    EXPECT_TRUE(myApp.Create());
    EXPECT_EQ(MessageLoop(), 0);
    EXPECT_EQ(myApp.log, "C" + Repeat("UR", 5) + "D");
    EXPECT_EQ(myApp.lastStep, 0.02f);
    EXPECT_TRUE(myApp.userDataSetDuringUpdate);
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(Shell, PendingQuitEndsTheLoopWithoutAnIdlePass) {
  const ChildResult r = RunInChild([] {
    PostMessageW(NULL, WM_USER, 0, 0);
    PostQuitMessage(7);
    PostMessageW(NULL, WM_USER + 1, 0, 0);
    EXPECT_EQ(MessageLoop(), 7);
    EXPECT_EQ(myApp.log, "");
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(Shell, NoDisplayRegistersTheClassButCreatesNoWindow) {
  const ChildResult r = RunInChild([] {
    NoDisplay();
    EXPECT_NE(RegisterWindowClass(), 0);
    EXPECT_FALSE(CreateAppWindow());
    EXPECT_EQ(myApp.m_hWnd, nullptr);
    EXPECT_FALSE(DisplayAvailable());
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// wWinMain end to end, each case in a fresh process and working folder:
// a.out is created (or emptied), failures show one message and exit 1.
struct StartCase {
  const char* name;
  void (*setup)();
  int exitCode;
  const char* log;
};

LRESULT CALLBACK OtherProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

const StartCase kStartCases[] = {
    {"closes", [] { myApp.closeAfterRenders = 3; }, 0, "CURURURD"},
    {"create fails", [] { myApp.failCreate = true; }, 1, "C"},
    {"registration fails",
     [] {
       WNDCLASSEXW wc = {};
       wc.cbSize = sizeof(wc);
       wc.lpfnWndProc = OtherProc;
       wc.lpszClassName = L"GameWnd";
       RegisterClassExW(&wc);
     },
     1, ""},
    {"no display", NoDisplay, 1, ""},
};

TEST(Shell, WinMainStartsRunsAndFails) {
  for (const StartCase& c : kStartCases) {
    for (bool stale : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (stale ? ", stale a.out" : ""));
      char dir[] = "/tmp/shell-start-XXXXXX";
      ASSERT_NE(mkdtemp(dir), nullptr);
      const std::filesystem::path out = std::filesystem::path(dir) / "a.out";
      if (stale) std::ofstream(out) << "left from the last run\n";
      const ChildResult r = RunInChild([&] {
        if (chdir(dir) != 0) return 97;
        c.setup();
        static struct HINSTANCE__ module;
        WCHAR commandLine[] = L"";
        const int code = wWinMain(&module, NULL, commandLine, SW_SHOWDEFAULT);
        EXPECT_EQ(myApp.log, c.log);
        return code;
      });
      EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
      // The one message, and nothing else on standard error.
      EXPECT_EQ(r.err, c.exitCode == 0 ? "" : "Error: myApp.Create failed!\n");
      ASSERT_TRUE(std::filesystem::exists(out));
      EXPECT_EQ(std::filesystem::file_size(out), 0u);
      std::filesystem::remove_all(dir);
    }
  }
}

}  // namespace
