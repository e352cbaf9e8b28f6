// The real program as a child process: started in the demo folder with
// extra environment, waited for with a deadline, and its window found on an
// X display by title and process id.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <map>
#include <string>

std::string DemoDir();

struct RunResult {
  int exitCode = -1;  // 128 + the signal for a process killed by one
  std::string stderrText;
};

struct Process {
  pid_t pid = -1;
  std::string stderrPath;
};

// Starts build/demo/ostrevin in the demo folder with extra environment
// variables (a value of nullptr removes the variable).
Process Start(const std::map<std::string, const char*>& env);

// Waits for the process; past the deadline it is killed and the result
// says "timed out".
RunResult Wait(const Process& p, int timeoutSeconds = 180);

RunResult RunDemo(const std::map<std::string, const char*>& env);

// The window of process `pid` whose name is `title`, or 0.
Window FindWindow(Display* display, Window root, const char* title, pid_t pid);
