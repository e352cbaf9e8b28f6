// The forked child, its pipe and limits, the deadline and the reaping.
#include "ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <new>

namespace ostrevin {
namespace {

// Framing on the pipe: each record is a 32-bit length (host order: both
// ends are this process) and its bytes. The child's last frame is the end
// mark, kEndFrame and one byte that says how the task ended.
constexpr uint32_t kEndFrame = 0xFFFFFFFFu;
constexpr char kEndReturned = 'R';
constexpr char kEndOutOfMemory = 'M';

int64_t MonotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool WriteAll(int fd, const void* data, size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// Address space in use now, from /proc: the ceiling is set on top of it,
// so what the libraries already mapped does not count against the task.
unsigned long long AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  unsigned long long pages = 0;
  statm >> pages;
  return pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}

bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

[[noreturn]] void RunTask(int fd, const ChildLimits& limits, const std::function<void(ChildChannel&)>& task) {
  const rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  // A crash here is the parent's to report, as a child that stopped: the
  // copy ends by the signal, running none of the program's crash handlers.
  for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(sig, SIG_DFL);
  if (limits.extraMemoryBytes != 0 && !UnderAddressSanitizer()) {
    const rlim_t ceiling = static_cast<rlim_t>(AddressSpaceInUse() + limits.extraMemoryBytes);
    const rlimit memory = {ceiling, ceiling};
    setrlimit(RLIMIT_AS, &memory);
  }
  ChildChannel channel(fd);
  char end = kEndReturned;
  try {
    task(channel);
  } catch (const std::bad_alloc&) {
    end = kEndOutOfMemory;
  } catch (...) {
    std::fflush(nullptr);
    _exit(3);  // no end mark: taken for a crash
  }
  std::fflush(nullptr);
  char frame[sizeof(kEndFrame) + 1];
  std::memcpy(frame, &kEndFrame, sizeof(kEndFrame));
  frame[sizeof(kEndFrame)] = end;
  _exit(WriteAll(fd, frame, sizeof(frame)) ? 0 : 1);
}

// Children whose task ended but which may not have exited yet. No thread
// waits for them: a thread that ends while another forks could hold an
// allocator lock that the child then waits for.
struct Children {
  std::mutex mutex;
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
  std::lock_guard<std::mutex> lock(g_children.mutex);
  auto& pids = g_children.pids;
  pids.erase(std::remove_if(pids.begin(), pids.end(),
                            [](pid_t pid) {
                              const pid_t r = waitpid(pid, nullptr, WNOHANG);
                              return r == pid || (r < 0 && errno == ECHILD);
                            }),
             pids.end());
}

// Moves the whole records at the front of `received` into `records`; the
// end mark's byte, 0 while it has not arrived.
char TakeRecords(std::string* received, std::vector<std::string>* records) {
  size_t at = 0;
  char end = 0;
  while (received->size() - at >= sizeof(uint32_t)) {
    uint32_t size;
    std::memcpy(&size, received->data() + at, sizeof(size));
    if (size == kEndFrame) {
      if (received->size() - at > sizeof(size)) end = (*received)[at + sizeof(size)];
      break;
    }
    if (received->size() - at - sizeof(size) < size) break;
    records->push_back(received->substr(at + sizeof(size), size));
    at += sizeof(size) + size;
  }
  received->erase(0, at);
  return end;
}

}  // namespace

void ChildChannel::Send(const std::string& record) {
  const uint32_t size = static_cast<uint32_t>(std::min<size_t>(record.size(), kEndFrame - 1));
  if (WriteAll(m_fd, &size, sizeof(size))) WriteAll(m_fd, record.data(), size);
}

ChildOutcome RunInChild(const ChildLimits& limits, const std::function<void(ChildChannel&)>& task) {
  ChildOutcome outcome;
  int fds[2];
  if (pipe(fds) != 0) {
    outcome.kind = ChildOutcome::kNoChild;
    return outcome;
  }
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    outcome.kind = ChildOutcome::kNoChild;
    return outcome;
  }
  if (child == 0) {
    close(fds[0]);
    RunTask(fds[1], limits, task);
  }
  close(fds[1]);
  ReapFinishedChildren();

  // What the child sends, until its end mark, its end or the deadline.
  const int64_t deadline = MonotonicMs() + limits.timeoutMs;
  std::string received;
  unsigned long long total = 0;
  char end = 0;
  bool timedOut = false, tooMuch = false;
  for (;;) {
    end = TakeRecords(&received, &outcome.records);
    if (end != 0) break;
    const int64_t left = deadline - MonotonicMs();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p = {fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (ready <= 0) continue;  // interrupted, or the deadline check above ends the wait
    char buffer[65536];
    const ssize_t n = read(fds[0], buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += static_cast<unsigned long long>(n);
    if (limits.maxReplyBytes != 0 && total > limits.maxReplyBytes) {  // framing included
      tooMuch = true;
      break;
    }
    received.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (end != 0) {
    outcome.kind = end == kEndReturned ? ChildOutcome::kFinished : ChildOutcome::kOutOfMemory;
    std::lock_guard<std::mutex> lock(g_children.mutex);
    g_children.pids.push_back(child);
    return outcome;
  }
  if (timedOut || tooMuch) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.kind = timedOut ? ChildOutcome::kTimedOut : ChildOutcome::kCrashed;
  if (!timedOut && !tooMuch && WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

std::string DescribeSignal(int signal) {
  if (signal == 0) return "an early exit";
  return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

}  // namespace ostrevin
