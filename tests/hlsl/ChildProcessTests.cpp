// RunInChild: a reply comes back whole, a crash or a hang is reported and
// the caller goes on.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "shader/ChildProcess.h"

namespace {

using ostrevin::ChildOutcome;
using ostrevin::RunInChild;

TEST(ChildProcess, ReplyArrivesWholeEvenWhenLargerThanThePipe) {
  const int parentValue = 42;  // the child sees the parent's memory
  std::string reply;
  ASSERT_EQ(RunInChild([&] { return std::string(3 << 20, 'x') + std::to_string(parentValue); }, 20000, &reply),
            ChildOutcome::Replied);
  ASSERT_EQ(reply.size(), (3u << 20) + 2);
  EXPECT_EQ(reply.substr(reply.size() - 3), "x42");

  EXPECT_EQ(RunInChild([] { return std::string(); }, 20000, &reply), ChildOutcome::Replied);
  EXPECT_TRUE(reply.empty());
}

TEST(ChildProcess, ACrashOrAnExitWithoutReplyIsStopped) {
  std::string reply = "stale";
  EXPECT_EQ(RunInChild(
                [] {
                  raise(SIGSEGV);
                  return std::string("unreached");
                },
                20000, &reply),
            ChildOutcome::Stopped);
  EXPECT_TRUE(reply.empty());
  EXPECT_EQ(RunInChild(
                [] {
                  _exit(3);
                  return std::string();
                },
                20000, &reply),
            ChildOutcome::Stopped);
}

TEST(ChildProcess, AHungChildIsKilledAtTheDeadline) {
  const auto start = std::chrono::steady_clock::now();
  std::string reply;
  EXPECT_EQ(RunInChild(
                [] {
                  for (;;) pause();
                  return std::string();
                },
                200, &reply),
            ChildOutcome::TimedOut);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(200));
  EXPECT_LT(elapsed, std::chrono::seconds(30));  // not waiting on: generous for a busy machine
  // And the next child works.
  EXPECT_EQ(RunInChild([] { return std::string("ok"); }, 20000, &reply), ChildOutcome::Replied);
  EXPECT_EQ(reply, "ok");
}

}  // namespace
