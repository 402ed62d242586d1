// Tells a person at the terminal which analysis is running once it has taken longer than a
// second, with the time elapsed, on standard error. Silent when standard error is not a
// terminal, so that scripts and logs see nothing of it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace vexmor::cli {

class Progress {
 public:
  explicit Progress(std::string label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Turns the indicator off for the whole program (for --quiet), or back on.
  static void SetEnabled(bool enabled);

 private:
  void run();

  std::string label_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace vexmor::cli
