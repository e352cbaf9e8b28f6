// Runs a task in a forked child, under a deadline and (optionally) a memory
// ceiling, and hands back the records it sent: a crash, a hang or a runaway
// allocation in a library the task calls ends the child, never the caller.
// The HLSL front end (d3dx9/shader) and the model importer (tools/gamemodel)
// run their libraries this way, each with its own limits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ostrevin {

struct ChildLimits {
  // Wall-clock time the child may run before it is killed.
  int64_t timeoutMs = 60000;
  // Address space the child may take beyond what it starts with; 0: no
  // ceiling (and none under AddressSanitizer, whose shadow memory is
  // reserved up front).
  unsigned long long extraMemoryBytes = 0;
  // The most the child may send in all; more is taken for a broken child's
  // (the call ends as kCrashed). 0: no limit.
  unsigned long long maxReplyBytes = 0;
};

// The task's way back to the caller: each Send arrives as one record, in
// order, and records sent before the child ends stay delivered.
class ChildChannel {
 public:
  explicit ChildChannel(int fd) : m_fd(fd) {}
  void Send(const std::string& record);

 private:
  int m_fd;
};

struct ChildOutcome {
  enum Kind {
    kFinished,     // the task returned
    kOutOfMemory,  // it threw std::bad_alloc: the ceiling was reached
    kTimedOut,     // killed at the deadline
    kCrashed,      // ended by a signal, exited or threw without returning
    kNoChild,      // no pipe or no fork: nothing ran
  };
  Kind kind = kCrashed;
  int signal = 0;  // kCrashed: the signal that ended the child, 0 if none
  std::vector<std::string> records;
};

// Forks and runs task in the child, which starts with a copy of this process
// (tables built, files read). The outcome is taken as soon as the task's end
// arrives, without waiting for the child's exit: children that finished are
// reaped at a later call and when the process ends. Not for several threads
// at once.
ChildOutcome RunInChild(const ChildLimits& limits, const std::function<void(ChildChannel&)>& task);

// "signal 11 (Segmentation fault)", or "an early exit" for 0.
std::string DescribeSignal(int signal);

}  // namespace ostrevin
