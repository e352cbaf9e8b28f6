// Runs a function in a forked child and takes back the bytes it returns,
// so that code which may crash or hang cannot take the process with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ostrevin {

enum class ChildOutcome {
  Replied,   // the whole reply arrived
  Stopped,   // the child ended (crashed, exited) before its reply was whole
  TimedOut,  // no whole reply before the deadline: the child was killed
  NoChild,   // no pipe or no fork: nothing ran
};

// Forks, runs job in the child and hands its result back through a pipe.
// The child starts with a copy of this process (tables built, files read),
// and its reply is taken as soon as it is whole, without waiting for the
// exit; replies over 256 MiB count as Stopped. Children that replied are
// reaped at a later call and when the process ends.
ChildOutcome RunInChild(const std::function<std::string()>& job, int64_t timeoutMs, std::string* reply);

}  // namespace ostrevin
