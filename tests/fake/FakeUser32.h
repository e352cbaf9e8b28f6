// The few USER32 calls the program's code outside the shell makes, as
// settable fakes for the unit tests.
#pragma once

#include <windows.h>

#include <set>
#include <string>

namespace fake {

// GetClientRect reports this rectangle for every window (default 784x561).
void SetClientSize(LONG width, LONG height);
// Keys that GetAsyncKeyState reports down.
void SetKeysDown(const std::set<int>& keys);
// Everything written with OutputDebugStringW since the last call, as UTF-8.
std::string TakeDebugOutput();

}  // namespace fake
