#include "analysis/quiet_stdout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace vexmor::cli {
namespace {

void FlushAll() {
  std::cout.flush();
  std::fflush(stdout);
}

}  // namespace

QuietStdout::QuietStdout(bool toStderr) {
  FlushAll();
  const int target = toStderr ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY);
  if (target < 0) return;
  saved_ = ::dup(STDOUT_FILENO);
  if (saved_ >= 0) ::dup2(target, STDOUT_FILENO);
  ::close(target);
}

QuietStdout::~QuietStdout() {
  if (saved_ < 0) return;
  FlushAll();
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
}

}  // namespace vexmor::cli
