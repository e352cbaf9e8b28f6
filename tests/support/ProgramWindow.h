// The program's window: 800x600 outside, and the client area USER32 leaves
// of it, the back buffer the program draws into. Tests and benchmarks that
// make a window or device of the program's shape take the sizes from here.
#pragma once

constexpr int kProgramWindowWidth = 800;
constexpr int kProgramWindowHeight = 600;
// What the layer's non-client metrics give for an overlapped 800x600 window.
constexpr int kProgramClientWidth = 784;
constexpr int kProgramClientHeight = 561;
