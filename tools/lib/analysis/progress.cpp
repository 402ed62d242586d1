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

Progress::Progress(std::string label)
    : label_(std::move(label)), start_(std::chrono::steady_clock::now()) {
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
  while (true) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
    // Written with write(2) so that it reaches the terminal at once, whatever the buffering
    // of the streams; \r and erase-line keep it on one line.
    WriteToStderr("\r\033[K" + label_ + " ... " + elapsed);
    if (wake_.wait_for(lock, 200ms, [this] { return done_; })) break;
  }
  WriteToStderr("\r\033[K");
}

}  // namespace vexmor::cli
