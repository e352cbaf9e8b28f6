#include "tools/gamemodel/Sandbox.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include "mesh/LittleEndian.h"

namespace {

// Record framing on the pipe: a 32-bit length, then the bytes. The child's
// last record is the one-byte end mark, which says how the task ended.
constexpr char kEndReturned = 'R';
constexpr char kEndOutOfMemory = 'M';

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
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

[[noreturn]] void RunChild(int fd, const SandboxLimits& limits, const std::function<void(SandboxChannel&)>& task) {
  const rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  // AddressSanitizer reserves terabytes of shadow address space up front:
  // a ceiling on the address space cannot apply there.
  if (limits.extraMemoryBytes != 0 && !UnderAddressSanitizer()) {
    const rlim_t ceiling = static_cast<rlim_t>(AddressSpaceInUse() + limits.extraMemoryBytes);
    const rlimit memory = {ceiling, ceiling};
    setrlimit(RLIMIT_AS, &memory);
  }
  SandboxChannel channel(fd);
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
  channel.Send(std::string(1, end));
  _exit(0);
}

}  // namespace

void SandboxChannel::Send(const std::string& record) {
  std::string frame;
  AppendU32(&frame, static_cast<uint32_t>(record.size()));
  frame += record;
  WriteAll(m_fd, frame.data(), frame.size());
}

SandboxOutcome RunSandboxed(const SandboxLimits& limits, const std::function<void(SandboxChannel&)>& task) {
  SandboxOutcome outcome;
  int fds[2];
  if (pipe(fds) != 0) {
    outcome.kind = SandboxOutcome::kCrashed;
    return outcome;
  }
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    outcome.kind = SandboxOutcome::kCrashed;
    return outcome;
  }
  if (child == 0) {
    close(fds[0]);
    RunChild(fds[1], limits, task);
  }
  close(fds[1]);

  // Everything the child writes, until it closes the pipe or the deadline.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limits.seconds);
  std::string received;
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p = {fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;  // the deadline check above ends the wait
    char buffer[65536];
    const ssize_t n = read(fds[0], buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (timedOut) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }

  // Whole records only; a record cut off by the child's end is dropped.
  size_t at = 0;
  while (received.size() - at >= 4) {
    const uint32_t size = ReadU32(reinterpret_cast<const unsigned char*>(received.data() + at));
    if (received.size() - at - 4 < size) break;
    outcome.records.push_back(received.substr(at + 4, size));
    at += 4 + size;
  }
  const bool ended = !outcome.records.empty() && outcome.records.back().size() == 1 &&
                     (outcome.records.back()[0] == kEndReturned || outcome.records.back()[0] == kEndOutOfMemory);
  if (timedOut) {
    outcome.kind = SandboxOutcome::kTimedOut;
  } else if (ended && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    outcome.kind = outcome.records.back()[0] == kEndReturned ? SandboxOutcome::kFinished : SandboxOutcome::kOutOfMemory;
    outcome.records.pop_back();
  } else {
    outcome.kind = SandboxOutcome::kCrashed;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return outcome;
}

std::string DescribeSignal(int signal) {
  if (signal == 0) return "an early exit";
  return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}
