// Runs a test body in a forked child: wWinMain and the layer keep global
// state (the class registration, the quit flag, SDL), so each case that
// touches them gets a fresh process. Expectations inside the body report as
// usual; the child's exit code is the body's result, or 99 when any
// expectation failed, or 98 when it did not finish within the time limit.
#pragma once

#include <functional>
#include <string>

struct ChildResult {
  int exitCode = -1;
  std::string err;  // what the child wrote to standard error
};

ChildResult RunInChild(const std::function<int()>& body, unsigned timeLimitSeconds = 20);
