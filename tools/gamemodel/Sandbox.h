// Runs a task in a forked child with a memory ceiling and a deadline, and
// hands back the records it sent: a crash, a hang or a runaway allocation
// inside a library the task calls ends the child, never the caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct SandboxLimits {
  // Address space the child may take beyond what it starts with; 0: no limit.
  unsigned long long extraMemoryBytes = 0;
  // Wall-clock time the child may run before it is killed.
  int seconds = 60;
};

// The task's way back to the caller: each Send arrives as one record, in
// order, and records sent before the child ends stay delivered.
class SandboxChannel {
 public:
  explicit SandboxChannel(int fd) : m_fd(fd) {}
  void Send(const std::string& record);

 private:
  int m_fd;
};

struct SandboxOutcome {
  enum Kind {
    kFinished,     // the task returned
    kOutOfMemory,  // it threw std::bad_alloc: the ceiling was reached
    kTimedOut,     // killed at the deadline
    kCrashed,      // ended by a signal, or exited without returning
  };
  Kind kind = kCrashed;
  int signal = 0;  // kCrashed: the signal that ended the child, 0 if none
  std::vector<std::string> records;
};

SandboxOutcome RunSandboxed(const SandboxLimits& limits, const std::function<void(SandboxChannel&)>& task);

// "signal 11 (Segmentation fault)", or "an early exit" for 0.
std::string DescribeSignal(int signal);
