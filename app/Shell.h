// The application shell: entry point, window class, window, window procedure
// and the fixed-step message loop. All of it works on the global myApp.
#pragma once

#include <windows.h>

ATOM RegisterWindowClass();
bool CreateAppWindow();
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
int MessageLoop();
