#include "Child.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

ChildResult RunInChild(const std::function<int()>& body, unsigned timeLimitSeconds) {
  char path[] = "/tmp/shell-child-XXXXXX";
  const int fd = mkstemp(path);
  ChildResult result;
  if (fd < 0) return result;
  fflush(stdout);
  fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fd, 2);
    alarm(timeLimitSeconds);
    const int code = body();
    fflush(stdout);
    fflush(stderr);
    _exit(testing::Test::HasFailure() ? 99 : code);
  }
  close(fd);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.exitCode = WTERMSIG(status) == SIGALRM ? 98 : 128 + WTERMSIG(status);
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  result.err = text.str();
  unlink(path);
  return result;
}
