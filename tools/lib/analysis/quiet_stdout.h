// The library prints a few diagnostic lines on standard output. While it runs, file
// descriptor 1 points at /dev/null (or at standard error, to see them), so that the program's
// own output stays clean and parseable.
#pragma once

namespace vexmor::cli {

class QuietStdout {
 public:
  explicit QuietStdout(bool toStderr);
  ~QuietStdout();
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace vexmor::cli
