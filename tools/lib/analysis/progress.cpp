#include "analysis/progress.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace vexmor::cli {
namespace {

std::atomic<bool> enabled{true};

void WriteToStderr(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void Progress::SetEnabled(bool on) {
  enabled = on;
}

std::string Progress::FormatDuration(double seconds) {
  char text[48];
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
  } else if (seconds < 3600) {
    const auto s = static_cast<long>(seconds);
    std::snprintf(text, sizeof text, "%ld min %02ld s", s / 60, s % 60);
  } else {
    const auto m = static_cast<long>(seconds / 60);
    std::snprintf(text, sizeof text, "%ld h %02ld min", m / 60, m % 60);
  }
  return text;
}

Progress::Progress(std::string label, std::string hint)
    : label_(std::move(label)), hint_(std::move(hint)), start_(std::chrono::steady_clock::now()) {
  if (enabled && ::isatty(STDERR_FILENO) == 1) thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void Progress::run() {
  using namespace std::chrono_literals;
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_for(lock, 1s, [this] { return done_; })) return;
  double seconds = 0;
  while (true) {
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // Written with write(2) so that it reaches the terminal at once, whatever the buffering
    // of the streams; \r and erase-line keep it on one line.
    WriteToStderr("\r\033[K" + label_ + " ... " + FormatDuration(seconds) +
                  (seconds >= 10 && !hint_.empty() ? "  (" + hint_ + ")" : ""));
    if (wake_.wait_for(lock, 200ms, [this] { return done_; })) break;
  }
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  // A long run leaves its time on the screen; a short one leaves nothing.
  WriteToStderr("\r\033[K" +
                (seconds >= 5 ? label_ + ": " + FormatDuration(seconds) + "\n" : std::string()));
}

}  // namespace vexmor::cli
