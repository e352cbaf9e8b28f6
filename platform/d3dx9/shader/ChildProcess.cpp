// The forked child, its pipe, the deadline and the reaping.
#include "shader/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

namespace ostrevin {
namespace {

// A reply larger than this is taken for a broken child's.
constexpr uint32_t kMaxReplyBytes = 256u << 20;

int64_t MonotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool WriteAll(int fd, const void* data, size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = write(fd, p, bytes);
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly bytes from fd; false at end of file, on an error, or when
// nothing arrives before deadline (CLOCK_MONOTONIC milliseconds).
bool ReadAll(int fd, void* data, size_t bytes, int64_t deadline) {
  char* p = static_cast<char*>(data);
  while (bytes > 0) {
    const int64_t wait = deadline - MonotonicMs();
    if (wait <= 0) return false;
    pollfd pfd = {fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(wait, 1000)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t n = read(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// Children that have replied but may not have exited yet. No thread waits
// for them: a thread that ends while another forks could hold an allocator
// lock that the child then waits for.
struct Children {
  std::vector<pid_t> pids;
  ~Children() {
    for (pid_t pid : pids) {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
};
Children g_children;

void ReapFinishedChildren() {
  auto& pids = g_children.pids;
  pids.erase(std::remove_if(pids.begin(), pids.end(),
                            [](pid_t pid) {
                              const pid_t r = waitpid(pid, nullptr, WNOHANG);
                              return r == pid || (r < 0 && errno == ECHILD);
                            }),
             pids.end());
}

}  // namespace

ChildOutcome RunInChild(const std::function<std::string()>& job, int64_t timeoutMs, std::string* reply) {
  reply->clear();
  int fds[2];
  if (pipe(fds) != 0) return ChildOutcome::NoChild;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return ChildOutcome::NoChild;
  }
  if (child == 0) {
    // A crash here is the parent's to report, as a child that stopped: the
    // copy ends by the signal, running none of the program's crash handlers.
    for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(sig, SIG_DFL);
    close(fds[0]);
    const std::string bytes = job();
    const uint32_t length = static_cast<uint32_t>(std::min<size_t>(bytes.size(), 0xFFFFFFFFu));
    const bool sent = WriteAll(fds[1], &length, sizeof(length)) && WriteAll(fds[1], bytes.data(), length);
    _exit(sent ? 0 : 1);
  }
  close(fds[1]);
  ReapFinishedChildren();
  const int64_t deadline = MonotonicMs() + timeoutMs;
  uint32_t length = 0;
  bool whole = ReadAll(fds[0], &length, sizeof(length), deadline) && length <= kMaxReplyBytes;
  if (whole) {
    reply->resize(length);
    whole = ReadAll(fds[0], reply->data(), length, deadline);
  }
  close(fds[0]);
  if (!whole) {
    reply->clear();
    const bool hung = MonotonicMs() >= deadline;
    if (hung) kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return hung ? ChildOutcome::TimedOut : ChildOutcome::Stopped;
  }
  g_children.pids.push_back(child);
  return ChildOutcome::Replied;
}

}  // namespace ostrevin
