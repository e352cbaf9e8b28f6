// Non-client metrics: the frame Windows 10 draws around a window with a
// caption or a sizing border at 96 dpi, and the sizes USER32 picks on its
// own. The one place that knows an 800x600 WS_OVERLAPPEDWINDOW window has a
// 784x561 client area; tests and benchmarks ask ClientSizeFor.
#pragma once

#include <windows.h>

namespace ostrevin::win32 {

struct FrameMetrics {
  int left, top, right, bottom;
};

// 8 pixels left, right and bottom, 31 at the top (caption plus frame); none
// for a window without caption or sizing border.
constexpr FrameMetrics FrameFor(DWORD style) {
  return (style & (WS_CAPTION | WS_THICKFRAME)) != 0 ? FrameMetrics{8, 31, 8, 8} : FrameMetrics{0, 0, 0, 0};
}

struct ClientSize {
  int width, height;
};

// The client area of a window of outer size width x height (never negative).
constexpr ClientSize ClientSizeFor(DWORD style, int width, int height) {
  const FrameMetrics f = FrameFor(style);
  const int w = width - f.left - f.right, h = height - f.top - f.bottom;
  return {w > 0 ? w : 0, h > 0 ? h : 0};
}

// The outer size of a CW_USEDEFAULT window, and the smallest tracking size
// (SM_CXMINTRACK, SM_CYMINTRACK).
constexpr int kDefaultWindowWidth = 1024;
constexpr int kDefaultWindowHeight = 768;
constexpr int kMinTrackWidth = 136;
constexpr int kMinTrackHeight = 39;

}  // namespace ostrevin::win32
