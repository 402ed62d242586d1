// Tells a person at the terminal which analysis is running once it has taken longer than a
// second, with the time elapsed, on standard error; a run that took long leaves a line saying
// how long. Silent when standard error is not a terminal, so that scripts and logs see nothing
// of it. Analyses running at once on several threads share the one line, oldest first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace vexmor::cli {

class Progress {
 public:
  // `hint` is added to the display once the run has taken ten seconds.
  explicit Progress(std::string label, std::string hint = "");
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Turns the indicator off for the whole program (for --quiet), or back on.
  static void SetEnabled(bool enabled);

  // "0.4 s", "12.3 s", "3 min 05 s", "2 h 03 min".
  static std::string FormatDuration(double seconds);

 private:
  void run();
  // Redraws the shared line from the analyses running; the caller holds the line's lock.
  static void DrawLine();

  std::string label_, hint_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace vexmor::cli
