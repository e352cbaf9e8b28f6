// The child-process kit that the HLSL front end and the model importer run
// their libraries in: whatever the task does, the caller learns how it
// ended, keeps what it sent before, and goes on.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace {

using ostrevin::ChildChannel;
using ostrevin::ChildLimits;
using ostrevin::ChildOutcome;
using ostrevin::RunInChild;

TEST(ChildProcess, ARecordArrivesWholeEvenWhenLargerThanThePipe) {
  const int parentValue = 42;  // the child sees the parent's memory
  ChildLimits limits;
  limits.timeoutMs = 20000;
  ChildOutcome outcome = RunInChild(limits, [&](ChildChannel& c) {
    c.Send(std::string(3 << 20, 'x') + std::to_string(parentValue));
    c.Send(std::string());
  });
  ASSERT_EQ(outcome.kind, ChildOutcome::kFinished);
  ASSERT_EQ(outcome.records.size(), 2u);
  ASSERT_EQ(outcome.records[0].size(), (3u << 20) + 2);
  EXPECT_EQ(outcome.records[0].substr(outcome.records[0].size() - 3), "x42");
  EXPECT_TRUE(outcome.records[1].empty());

  // A record that looks like nothing special, and a task that sends nothing.
  outcome = RunInChild(limits, [](ChildChannel& c) { c.Send("R"); });
  ASSERT_EQ(outcome.kind, ChildOutcome::kFinished);
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(outcome.records[0], "R");
  outcome = RunInChild(limits, [](ChildChannel&) {});
  EXPECT_EQ(outcome.kind, ChildOutcome::kFinished);
  EXPECT_TRUE(outcome.records.empty());
}

TEST(ChildProcess, EveryEndIsToldWithTheRecordsSentBeforeIt) {
  struct Case {
    const char* name;
    std::function<void(ChildChannel&)> task;
    ChildOutcome::Kind kind;
    int signal;
  } const cases[] = {
      {"returns", [](ChildChannel& c) { c.Send(std::string(100000, 'x')); }, ChildOutcome::kFinished, 0},
      {"crashes", [](ChildChannel&) { raise(SIGSEGV); }, ChildOutcome::kCrashed, SIGSEGV},
      {"exits", [](ChildChannel&) { _exit(0); }, ChildOutcome::kCrashed, 0},
      {"throws", [](ChildChannel&) { throw 1; }, ChildOutcome::kCrashed, 0},
      {"hangs",
       [](ChildChannel&) {
         for (;;) pause();
       },
       ChildOutcome::kTimedOut, 0},
      {"runs away",
       [](ChildChannel&) {
         // Address space only, untouched: the ceiling is met at once, however busy the machine.
         std::vector<std::unique_ptr<char[]>> hoard;
         for (volatile char* last;;) {
           hoard.emplace_back(new char[16u << 20]);
           last = hoard.back().get();
           last[0] = 1;
         }
       },
       ChildOutcome::kOutOfMemory, 0},
      {"sends too much", [](ChildChannel& c) { c.Send(std::string(2u << 20, 'x')); }, ChildOutcome::kCrashed, 0},
  };
  ChildLimits limits;
  limits.extraMemoryBytes = 256u << 20;
  limits.maxReplyBytes = 1u << 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The task that hangs meets a short deadline; the others a generous
    // one, so that a busy machine never turns their end into a timeout.
    const bool hangs = c.kind == ChildOutcome::kTimedOut;
    limits.timeoutMs = hangs ? 1000 : 60000;
#if defined(__SANITIZE_ADDRESS__)
    // No address-space ceiling under AddressSanitizer, and its own handler
    // turns a crash into an exit.
    if (c.kind == ChildOutcome::kOutOfMemory) continue;
    const bool exactSignal = false;
#else
    const bool exactSignal = true;
#endif
    const auto start = std::chrono::steady_clock::now();
    const ChildOutcome outcome = RunInChild(limits, [&](ChildChannel& channel) {
      channel.Send("first");
      c.task(channel);
    });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (hangs) {
      EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
      EXPECT_LT(elapsed, std::chrono::seconds(30)) << "the deadline is 1 s";
    }
    EXPECT_EQ(outcome.kind, c.kind);
    if (exactSignal) {
      EXPECT_EQ(outcome.signal, c.signal);
    }
    ASSERT_GE(outcome.records.size(), 1u);
    EXPECT_EQ(outcome.records[0], "first");
    if (c.kind == ChildOutcome::kFinished) {
      ASSERT_EQ(outcome.records.size(), 2u);
      EXPECT_EQ(outcome.records[1], std::string(100000, 'x'));
    }
  }
  // And the next child works.
  const ChildOutcome next = RunInChild(limits, [](ChildChannel& c) { c.Send("ok"); });
  ASSERT_EQ(next.kind, ChildOutcome::kFinished);
  ASSERT_EQ(next.records.size(), 1u);
  EXPECT_EQ(next.records[0], "ok");
}

}  // namespace
