// The gamemodel tool's sandbox on its own: whatever the task does, the
// caller learns how it ended and keeps what it sent before.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

#include "tools/gamemodel/Sandbox.h"

namespace {

TEST(SandboxTest, EveryEndIsToldWithTheRecordsSentBeforeIt) {
  struct Case {
    const char* name;
    std::function<void(SandboxChannel&)> task;
    SandboxOutcome::Kind kind;
    int signal;
  } const cases[] = {
      {"returns", [](SandboxChannel& c) { c.Send(std::string(100000, 'x')); }, SandboxOutcome::kFinished, 0},
      {"crashes", [](SandboxChannel&) { raise(SIGSEGV); }, SandboxOutcome::kCrashed, SIGSEGV},
      {"exits", [](SandboxChannel&) { _exit(0); }, SandboxOutcome::kCrashed, 0},
      {"throws", [](SandboxChannel&) { throw 1; }, SandboxOutcome::kCrashed, 0},
      {"hangs",
       [](SandboxChannel&) {
         for (;;) pause();
       },
       SandboxOutcome::kTimedOut, 0},
      {"runs away",
       [](SandboxChannel&) {
         // Address space only, untouched: the ceiling is met at once, however busy the machine.
         std::vector<std::unique_ptr<char[]>> hoard;
         for (volatile char* last;;) {
           hoard.emplace_back(new char[16u << 20]);
           last = hoard.back().get();
           last[0] = 1;
         }
       },
       SandboxOutcome::kOutOfMemory, 0},
  };
  SandboxLimits limits;
  limits.extraMemoryBytes = 256u << 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The task that hangs meets a short deadline; the others a generous
    // one, so that a busy machine never turns their end into a timeout.
    const bool hangs = c.kind == SandboxOutcome::kTimedOut;
    limits.seconds = hangs ? 1 : 60;
#if defined(__SANITIZE_ADDRESS__)
    // No address-space ceiling under AddressSanitizer, and its own handler
    // turns a crash into an exit.
    if (c.kind == SandboxOutcome::kOutOfMemory) continue;
    const bool exactSignal = false;
#else
    const bool exactSignal = true;
#endif
    const auto start = std::chrono::steady_clock::now();
    const SandboxOutcome outcome = RunSandboxed(limits, [&](SandboxChannel& channel) {
      channel.Send("first");
      c.task(channel);
    });
    if (hangs) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "the deadline is 1 s";
    }
    EXPECT_EQ(outcome.kind, c.kind);
    if (exactSignal) {
      EXPECT_EQ(outcome.signal, c.signal);
    }
    ASSERT_GE(outcome.records.size(), 1u);
    EXPECT_EQ(outcome.records[0], "first");
    if (c.kind == SandboxOutcome::kFinished) {
      ASSERT_EQ(outcome.records.size(), 2u);
      EXPECT_EQ(outcome.records[1], std::string(100000, 'x'));
    }
  }
}

}  // namespace
