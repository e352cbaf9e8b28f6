#include "e2e/DemoProcess.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

std::string DemoDir() {
  const char* d = std::getenv("OSTREVIN_DEMO_DIR");
  return d != nullptr ? d : "";
}

Process Start(const std::map<std::string, const char*>& env) {
  std::vector<std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (env.count(name) == 0) vars.push_back(entry);
  }
  for (const auto& kv : env)
    if (kv.second != nullptr) vars.push_back(kv.first + "=" + kv.second);
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(&v[0]);
  envp.push_back(nullptr);

  Process p;
  p.stderrPath = (fs::temp_directory_path() / ("ostrevin-e2e-" + std::to_string(::getpid()) + "-" +
                                                std::to_string(std::rand()) + ".err"))
                     .string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, p.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, DemoDir().c_str());
  const std::string exe = DemoDir() + "/ostrevin";
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  if (posix_spawn(&p.pid, exe.c_str(), &actions, nullptr, argv, envp.data()) != 0) p.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return p;
}

RunResult Wait(const Process& p, int timeoutSeconds) {
  RunResult run;
  if (p.pid < 0) return run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(p.pid, &status, WNOHANG);
    if (r == p.pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(p.pid, SIGKILL);
      waitpid(p.pid, &status, 0);
      run.stderrText = "timed out\n";
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream err(p.stderrPath);
  std::stringstream ss;
  ss << err.rdbuf();
  run.stderrText = ss.str();
  fs::remove(p.stderrPath);
  return run;
}

RunResult RunDemo(const std::map<std::string, const char*>& env) { return Wait(Start(env)); }

namespace {

pid_t WindowPid(Display* display, Window window) {
  Atom type;
  int format;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  pid_t pid = 0;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                         &format, &items, &after, &data) == Success &&
      data != nullptr) {
    if (items == 1 && format == 32) pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
  }
  return pid;
}

Window FindIn(Display* display, Window root, const char* title, pid_t pid) {
  Window parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (std::strcmp(name, title) == 0 && WindowPid(display, children[i]) == pid) found = children[i];
      XFree(name);
    }
    if (found == 0) found = FindIn(display, children[i], title, pid);
  }
  if (children != nullptr) XFree(children);
  return found;
}

// Other clients' windows come and go during the walk (SDL makes and drops
// a probe window while it starts): their BadWindow errors are expected, not
// a reason for Xlib to end the test.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

Window FindWindow(Display* display, Window root, const char* title, pid_t pid) {
  XSync(display, False);
  const XErrorHandler previous = XSetErrorHandler(IgnoreErrors);
  const Window found = FindIn(display, root, title, pid);
  XSync(display, False);
  XSetErrorHandler(previous);
  return found;
}
