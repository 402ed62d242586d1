// The library prints a few diagnostic lines on standard output. While it runs, file
// descriptor 1 points at /dev/null (or at standard error, to see them), so that the program's
// own output stays clean and parseable. Calls that overlap on several threads share one
// redirection: the first to start sets it up and the last to end puts standard output back,
// since each saving and restoring descriptor 1 on its own would leave it pointing wherever the
// last one to end had found it.
#pragma once

namespace vexmor::cli {

class QuietStdout {
 public:
  explicit QuietStdout(bool toStderr);
  ~QuietStdout();
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;
};

}  // namespace vexmor::cli
