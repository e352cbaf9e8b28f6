// The USER32 layer's own behaviour: classes, creation messages, painting,
// the posted-message queue, WM_QUIT and the scripted keyboard.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "Child.h"
#include "NonClientMetrics.h"
#include "Switches.h"
#include "Win32Internal.h"

namespace {

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

WNDCLASSEXW ClassNamed(LPCWSTR name) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = name;
  return wc;
}

TEST(User32, RegisterClassRejectsBadClasses) {
  struct Case {
    const char* what;
    void (*spoil)(WNDCLASSEXW&);
  };
  const Case cases[] = {
      {"cbSize", [](WNDCLASSEXW& wc) { wc.cbSize = sizeof(wc) - 4; }},
      {"no proc", [](WNDCLASSEXW& wc) { wc.lpfnWndProc = nullptr; }},
      {"no name", [](WNDCLASSEXW& wc) { wc.lpszClassName = nullptr; }},
      {"registered (names ignore case)", [](WNDCLASSEXW& wc) { wc.lpszClassName = L"PROBECLASS"; }},
  };
  WNDCLASSEXW good = ClassNamed(L"ProbeClass");
  const ATOM atom = RegisterClassExW(&good);
  ASSERT_NE(atom, 0);
  EXPECT_EQ(RegisterClassExW(nullptr), 0);
  for (const Case& c : cases) {
    WNDCLASSEXW wc = ClassNamed(L"OtherClass");
    c.spoil(wc);
    EXPECT_EQ(RegisterClassExW(&wc), 0) << c.what;
  }
  EXPECT_TRUE(UnregisterClassW(L"ProbeClass", NULL));
  EXPECT_FALSE(UnregisterClassW(L"ProbeClass", NULL));
  EXPECT_NE(RegisterClassExW(&good), 0);
  EXPECT_TRUE(UnregisterClassW(L"ProbeClass", NULL));
}

TEST(User32, LoadsTheProgramsIconsTheSystemsAndTheArrow) {
  static struct HINSTANCE__ module;
  const HICON large = LoadIconW(&module, MAKEINTRESOURCEW(107));
  const HICON small = LoadIconW(&module, MAKEINTRESOURCEW(108));
  EXPECT_NE(large, nullptr);
  EXPECT_NE(small, nullptr);
  EXPECT_NE(large, small);
  EXPECT_EQ(LoadIconW(&module, MAKEINTRESOURCEW(107)), large) << "a shared icon";
  EXPECT_EQ(LoadIconW(&module, MAKEINTRESOURCEW(109)), nullptr);
  EXPECT_EQ(LoadIconW(NULL, MAKEINTRESOURCEW(107)), nullptr) << "a module's icon needs its instance";
  EXPECT_EQ(LoadIconW(&module, IDI_APPLICATION), nullptr) << "the system's icons need none";
  const HICON application = LoadIconW(NULL, IDI_APPLICATION);
  EXPECT_NE(application, nullptr);
  EXPECT_EQ(LoadIconW(NULL, IDI_APPLICATION), application) << "a shared icon";
  EXPECT_NE(LoadIconW(NULL, IDI_WARNING), nullptr);
  EXPECT_NE(LoadIconW(NULL, IDI_WARNING), application);
  EXPECT_EQ(LoadIconW(NULL, MAKEINTRESOURCEW(32519)), nullptr);
  EXPECT_NE(LoadCursorW(NULL, IDC_ARROW), nullptr);
  EXPECT_EQ(LoadCursorW(NULL, MAKEINTRESOURCEW(32513)), nullptr);
}

// A window procedure that records what it is sent and can refuse creation.
struct Record {
  UINT message;
  LONG_PTR userData;
};
std::vector<Record> g_sent;
UINT g_refuse = 0;  // WM_NCCREATE or WM_CREATE
HWND g_seen = nullptr;
CREATESTRUCTW g_create;
LPARAM g_sizeParam = 0;

LRESULT CALLBACK RecordingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  g_seen = h;
  g_sent.push_back({m, GetWindowLongPtrW(h, GWLP_USERDATA)});
  if (m == WM_NCCREATE) g_create = *reinterpret_cast<CREATESTRUCTW*>(l);
  if (m == WM_SIZE) g_sizeParam = l;
  if (m == g_refuse) return m == WM_NCCREATE ? FALSE : -1;
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    EXPECT_NE(BeginPaint(h, &ps), nullptr);
    EXPECT_EQ(ps.rcPaint.right, 784);
    EndPaint(h, &ps);
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

std::vector<UINT> Messages() {
  std::vector<UINT> out;
  for (const Record& r : g_sent) out.push_back(r.message);
  return out;
}

HWND CreateProbe() {
  WNDCLASSEXW wc = ClassNamed(L"Probe");
  wc.lpfnWndProc = RecordingProc;
  RegisterClassExW(&wc);
  return CreateWindowExW(0, L"Probe", L"Probe \u00e9", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                         NULL, NULL, NULL, NULL);
}

TEST(User32, CreationSendsTheMessagesBeforeReturning) {
  const ChildResult r = RunInChild([] {
    const HWND hWnd = CreateProbe();
    EXPECT_NE(hWnd, nullptr);
    const std::vector<UINT> expected = {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE};
    EXPECT_EQ(Messages(), expected);
    for (const Record& rec : g_sent) EXPECT_EQ(rec.userData, 0);
    EXPECT_EQ(g_create.cx, 800);
    EXPECT_EQ(g_create.cy, 600);
    EXPECT_STREQ(g_create.lpszName, L"Probe \u00e9");

    EXPECT_EQ(SetWindowLongPtrW(hWnd, GWLP_USERDATA, 42), 0);
    EXPECT_EQ(SetWindowLongPtrW(hWnd, GWLP_USERDATA, 43), 42);
    EXPECT_EQ(GetWindowLongPtrW(hWnd, GWLP_USERDATA), 43);

    // ShowWindow reports the earlier visibility, and the overlapped window
    // gets its one WM_SIZE and WM_MOVE when first shown; UpdateWindow paints
    // at once while the region is invalid, erasing first, and not again
    // once valid.
    g_sent.clear();
    EXPECT_FALSE(ShowWindow(hWnd, SW_SHOW));
    EXPECT_TRUE(ShowWindow(hWnd, SW_SHOW));
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SHOWWINDOW, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(LOWORD(g_sizeParam), 784);
    EXPECT_EQ(HIWORD(g_sizeParam), 561);
    g_sent.clear();
    UpdateWindow(hWnd);
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
    g_sent.clear();
    UpdateWindow(hWnd);
    EXPECT_TRUE(g_sent.empty());
    InvalidateRect(hWnd, NULL, FALSE);
    UpdateWindow(hWnd);
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_PAINT}));

    // WM_SYSCOMMAND SC_CLOSE -> WM_CLOSE -> DestroyWindow.
    g_sent.clear();
    SendMessageW(hWnd, WM_SYSCOMMAND, 0xF060, 0);
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_FALSE(DestroyWindow(hWnd));
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(User32, CreationRefusedByTheWindowProcedure) {
  struct Case {
    UINT refuse;
    std::vector<UINT> tail;  // messages after the refusal
  };
  const Case cases[] = {{WM_NCCREATE, {WM_NCDESTROY}}, {WM_CREATE, {WM_DESTROY, WM_NCDESTROY}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refuse);
    const ChildResult r = RunInChild([&] {
      g_refuse = c.refuse;
      EXPECT_EQ(CreateProbe(), nullptr);
      const std::vector<UINT> sent = Messages();
      size_t at = 0;
      while (at < sent.size() && sent[at] != c.refuse) ++at;
      EXPECT_EQ(std::vector<UINT>(sent.begin() + static_cast<long>(std::min(at + 1, sent.size())), sent.end()), c.tail);
      EXPECT_FALSE(IsWindow(g_seen));
      return 0;
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
}

// What CreateWindowExW makes of the style: top-level windows clip their
// siblings and an overlapped one has a caption; only overlapped windows and
// those with a sizing border are held to the smallest tracking size (and
// asked with WM_GETMINMAXINFO); an overlapped window's WM_SIZE and WM_MOVE
// come at its first ShowWindow, a popup's at creation.
TEST(User32, StyleDecidesSizingAndTheSizeMessages) {
  struct Case {
    const char* what;
    DWORD style;
    int width, height;             // asked
    DWORD added;                   // styles the window gains
    int clientWidth, clientHeight; // got
    std::vector<UINT> created, shown;
  };
  const std::vector<UINT> kCreate = {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE};
  const std::vector<UINT> kCreateTracked = {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE};
  const std::vector<UINT> kSizeMove = {WM_SIZE, WM_MOVE};
  const std::vector<UINT> kShow = {WM_SHOWWINDOW};
  const std::vector<UINT> kShowSized = {WM_SHOWWINDOW, WM_SIZE, WM_MOVE};
  auto cat = [](std::vector<UINT> a, const std::vector<UINT>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"overlapped window", WS_OVERLAPPEDWINDOW, 800, 600, WS_CLIPSIBLINGS, 784, 561, kCreateTracked, kShowSized},
      {"bare overlapped gains a caption", 0, 320, 240, WS_CLIPSIBLINGS | WS_CAPTION, 304, 201, kCreateTracked,
       kShowSized},
      {"tiny overlapped grows to the tracking size", WS_OVERLAPPEDWINDOW, 10, 10, WS_CLIPSIBLINGS, 136 - 16, 39 - 39,
       kCreateTracked, kShowSized},
      {"popup", WS_POPUP, 320, 240, WS_CLIPSIBLINGS, 320, 240, cat(kCreate, kSizeMove), kShow},
      {"tiny popup stays tiny", WS_POPUP, 1, 2, WS_CLIPSIBLINGS, 1, 2, cat(kCreate, kSizeMove), kShow},
      {"sizable popup is tracked", WS_POPUP | WS_THICKFRAME, 10, 10, WS_CLIPSIBLINGS, 136 - 16, 39 - 39,
       cat(kCreateTracked, kSizeMove), kShow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ChildResult r = RunInChild([&] {
      WNDCLASSEXW wc = ClassNamed(L"Styled");
      wc.lpfnWndProc = RecordingProc;
      RegisterClassExW(&wc);
      const HWND hWnd = CreateWindowExW(0, L"Styled", L"", c.style, 0, 0, c.width, c.height, NULL, NULL, NULL, NULL);
      EXPECT_NE(hWnd, nullptr);
      EXPECT_EQ(Messages(), c.created);
      EXPECT_EQ(static_cast<DWORD>(g_create.style), c.style) << "CREATESTRUCTW keeps the style as given";
      EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_STYLE)), c.style | c.added);
      RECT rc = {};
      EXPECT_TRUE(GetClientRect(hWnd, &rc));
      EXPECT_EQ(rc.right, c.clientWidth);
      EXPECT_EQ(rc.bottom, c.clientHeight);
      g_sent.clear();
      ShowWindow(hWnd, SW_SHOW);
      std::vector<UINT> shown = Messages();
      shown.erase(std::remove(shown.begin(), shown.end(), static_cast<UINT>(WM_PAINT)), shown.end());
      EXPECT_EQ(shown, c.shown);
      g_sent.clear();
      ShowWindow(hWnd, SW_HIDE);
      ShowWindow(hWnd, SW_SHOW);
      EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SHOWWINDOW, WM_SHOWWINDOW})) << "size messages come once";
      return 0;
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
  }
}

// Posted messages come out in order; WM_QUIT once nothing else is posted,
// again and again until removed; WM_PAINT only when the queue is empty.
TEST(User32, PostedMessagesThenQuitThenPaint) {
  const ChildResult r = RunInChild([] {
    const HWND hWnd = CreateProbe();
    EXPECT_NE(hWnd, nullptr);
    EXPECT_TRUE(PostMessageW(hWnd, WM_USER + 1, 11, 0));
    EXPECT_TRUE(PostMessageW(NULL, WM_USER + 2, 0, 0));
    PostQuitMessage(5);
    EXPECT_TRUE(PostMessageW(hWnd, WM_USER + 3, 0, 0));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    std::vector<UINT> order;
    for (int i = 0; i < 3 && PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE); ++i) order.push_back(msg.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
    // WM_QUIT belongs to no window: a filter on the window passes over it.
    EXPECT_TRUE(PeekMessageW(&msg, hWnd, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    for (UINT remove : {PM_NOREMOVE, PM_NOREMOVE, PM_REMOVE}) {
      EXPECT_TRUE(PeekMessageW(&msg, NULL, 0, 0, remove));
      EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
      EXPECT_EQ(msg.wParam, 5u);
      EXPECT_EQ(DispatchMessageW(&msg), 0);
    }
    EXPECT_TRUE(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(msg.hwnd, hWnd);
    DispatchMessageW(&msg);
    EXPECT_FALSE(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE));

    // A destroyed window's messages go with it; posting to it fails.
    EXPECT_TRUE(PostMessageW(hWnd, WM_USER + 4, 0, 0));
    DestroyWindow(hWnd);
    EXPECT_FALSE(PostMessageW(hWnd, WM_USER + 5, 0, 0));
    EXPECT_FALSE(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE));
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// What the window system reports becomes the messages Windows would post:
// the close button WM_CLOSE (which destroys the window when dispatched to
// DefWindowProcW), keys WM_KEYDOWN / WM_KEYUP with the virtual-key code.
TEST(User32, WindowSystemEventsBecomePostedMessages) {
  const ChildResult r = RunInChild([] {
    const HWND hWnd = CreateProbe();
    EXPECT_NE(hWnd, nullptr);
    const Uint32 id = SDL_GetWindowID(ostrevin::win32::SdlWindow(hWnd));
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id;
    e.key.keysym.scancode = SDL_SCANCODE_LEFT;
    e.key.keysym.sym = SDLK_LEFT;
    SDL_PushEvent(&e);
    e.key.keysym.scancode = SDL_SCANCODE_W;
    e.key.keysym.sym = SDLK_w;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);

    std::vector<MSG> posted;
    MSG msg;
    for (int i = 0; i < 100 && PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE); ++i) {
      if (msg.message == WM_PAINT) {
        DispatchMessageW(&msg);
        continue;
      }
      EXPECT_EQ(msg.hwnd, hWnd);
      posted.push_back(msg);
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    // TranslateMessage adds the character of W, retrieved next.
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_KEYDOWN, VK_LEFT}, {WM_KEYDOWN, 'W'}, {WM_CHAR, 'w'}, {WM_KEYUP, 'W'}, {WM_CLOSE, 0}};
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const MSG& m : posted) got.push_back({m.message, m.wParam});
    EXPECT_EQ(got, expected);
    if (posted.size() == expected.size()) {
      EXPECT_NE(posted[3].lParam & (LPARAM(1) << 31), 0) << "key-up transition bit";
    }
    EXPECT_FALSE(IsWindow(hWnd));
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// The window system ending (SDL's quit event, as when a Wayland compositor
// goes) ends the process with one line and exit code 1. (Closing the last
// window is only WM_CLOSE: the end-to-end close test exits with 0.)
TEST(User32, TheWindowSystemEndingEndsTheProcess) {
  const ChildResult r = RunInChild([] {
    EXPECT_NE(CreateProbe(), nullptr);
    SDL_Event e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    MSG msg;
    PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE);
    return 0;
  });
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.err, "ostrevin: the window system ended the session\n");
}

// The client size the layer reports to others is the one its windows get.
TEST(User32, ClientSizeIsTheOuterSizeLessTheFrame) {
  struct Case {
    DWORD style;
    int width, height;
    int clientWidth, clientHeight;
  };
  const Case cases[] = {
      {WS_OVERLAPPEDWINDOW, 800, 600, 784, 561},
      {WS_CAPTION, 320, 240, 304, 201},
      {WS_POPUP, 320, 240, 320, 240},
      {WS_OVERLAPPEDWINDOW, 10, 20, 0, 0},
  };
  for (const Case& c : cases) {
    const ostrevin::win32::ClientSize size = ostrevin::win32::ClientSizeFor(c.style, c.width, c.height);
    EXPECT_EQ(size.width, c.clientWidth) << c.style;
    EXPECT_EQ(size.height, c.clientHeight) << c.style;
  }
  const ChildResult r = RunInChild([&] {
    WNDCLASSEXW wc = ClassNamed(L"Sized");
    RegisterClassExW(&wc);
    for (const Case& c : cases) {
      if (c.clientWidth == 0) continue;  // below the smallest tracking size
      const HWND hWnd = CreateWindowExW(0, L"Sized", L"", c.style, 0, 0, c.width, c.height, NULL, NULL, NULL, NULL);
      RECT rc = {};
      EXPECT_TRUE(GetClientRect(hWnd, &rc));
      EXPECT_EQ(rc.right, c.clientWidth) << c.style;
      EXPECT_EQ(rc.bottom, c.clientHeight) << c.style;
      DestroyWindow(hWnd);
    }
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// A full queue refuses new messages rather than growing, except that input
// pushes out the oldest input.
TEST(User32, FullQueueDropsTheOldestKeysOnly) {
  const ChildResult r = RunInChild([] {
    int capacity = 0;
    while (capacity < 100000 && PostMessageW(NULL, WM_USER, 0, 0)) ++capacity;
    EXPECT_GT(capacity, 100);
    EXPECT_LT(capacity, 100000);
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {}
    for (int i = 0; i < capacity; ++i) EXPECT_TRUE(PostMessageW(NULL, WM_KEYDOWN, static_cast<WPARAM>(i), 0));
    EXPECT_TRUE(PostMessageW(NULL, WM_USER, 0, 0));
    EXPECT_TRUE(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, 1u);
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(User32, ScriptedKeysFollowTheFrameNumber) {
  const ChildResult r = RunInChild([] {
    // Names from the key table in either case, and F1..F12.
    setenv("OSTREVIN_KEYS", "UP:10-20,LEFT:15-30,a:3,Q:1-x,9:5-4,SPACE:7-7,f5:2,Prior:4,shift:6,F13:1,F01:1", 1);
    struct Case {
      int vk;
      unsigned frame;
      bool down;
    };
    const Case cases[] = {
        {VK_UP, 9, false},     {VK_UP, 10, true},    {VK_UP, 20, true},   {VK_UP, 21, false},
        {VK_LEFT, 14, false},  {VK_LEFT, 15, true},  {VK_LEFT, 30, true}, {VK_LEFT, 31, false},
        {'A', 3, true},        {'A', 4, false},      {'Q', 1, false},     {'9', 5, false},
        {VK_SPACE, 7, true},   {VK_RIGHT, 15, false}, {VK_DOWN, 15, false},
        {VK_F1 + 4, 2, true},  {VK_PRIOR, 4, true},  {VK_SHIFT, 6, true}, {VK_F1, 1, false},
    };
    for (const Case& c : cases) {
      // The frame being prepared is one past those presented.
      ostrevin::switches::SetFramesPresented(c.frame - 1);
      EXPECT_EQ((GetAsyncKeyState(c.vk) & 0x8000) != 0, c.down) << "key " << c.vk << " frame " << c.frame;
    }
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* bad : {"Q:1-x", "F13:1", "F01:1"}) {
    EXPECT_NE(r.err.find(bad), std::string::npos) << bad << ": a bad entry is reported";
  }
}

TEST(User32, MessageBoxAndDebugOutputGoToStandardError) {
  const ChildResult r = RunInChild([] {
    setenv("OSTREVIN_MESSAGEBOX", "0", 1);
    EXPECT_EQ(MessageBoxW(NULL, L"Caf\u00e9\n\u2603", L"Note", MB_OK), IDOK);
    OutputDebugStringW(L"wide \u00e9\n");
    OutputDebugStringA("narrow\n");
    return 0;
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Note: Caf\xc3\xa9 \xe2\x98\x83\nwide \xc3\xa9\nnarrow\n");
}

}  // namespace
