// The program's window: 800x600 outside, and the client area USER32 leaves
// of it, the back buffer the program draws into. Tests and benchmarks that
// make a window or device of the program's shape take the sizes from here;
// the client size is the layer's own non-client rule.
#pragma once

#include "NonClientMetrics.h"

constexpr int kProgramWindowWidth = 800;
constexpr int kProgramWindowHeight = 600;
constexpr ostrevin::win32::ClientSize kProgramClientSize =
    ostrevin::win32::ClientSizeFor(WS_OVERLAPPEDWINDOW, kProgramWindowWidth, kProgramWindowHeight);
constexpr int kProgramClientWidth = kProgramClientSize.width;
constexpr int kProgramClientHeight = kProgramClientSize.height;
