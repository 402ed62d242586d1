#include "analysis/quiet_stdout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <mutex>

namespace vexmor::cli {
namespace {

std::mutex redirectMutex;
int users = 0;   // QuietStdout objects alive, on any thread
int saved = -1;  // the program's standard output while redirected

void FlushAll() {
  std::cout.flush();
  std::fflush(stdout);
}

}  // namespace

QuietStdout::QuietStdout(bool toStderr) {
  std::lock_guard lock(redirectMutex);
  if (users++ > 0) return;
  FlushAll();
  const int target = toStderr ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY);
  if (target < 0) return;
  saved = ::dup(STDOUT_FILENO);
  if (saved >= 0) ::dup2(target, STDOUT_FILENO);
  ::close(target);
}

QuietStdout::~QuietStdout() {
  std::lock_guard lock(redirectMutex);
  if (--users > 0 || saved < 0) return;
  FlushAll();
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  saved = -1;
}

}  // namespace vexmor::cli
