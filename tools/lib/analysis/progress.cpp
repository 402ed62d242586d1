#include "analysis/progress.h"

#ifndef _WIN32
#include <sys/ioctl.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace vexmor::cli {
namespace {

std::atomic<bool> enabled{true};

// The line on the terminal, shared by the indicators alive on every thread.
std::mutex lineMutex;
std::vector<const Progress*> running;  // in the order they started
bool lineShown = false;

void WriteToStderr(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Columns of the terminal: a longer line would wrap, and \r would then redraw only its end.
size_t TerminalWidth() {
#ifndef _WIN32
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
  if (!enabled || ::isatty(STDERR_FILENO) != 1) return;
  {
    std::lock_guard lock(lineMutex);
    running.push_back(this);
  }
  thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  thread_.join();
  std::lock_guard lock(lineMutex);
  running.erase(std::find(running.begin(), running.end(), this));
  // A long run leaves its time on the screen; a short one leaves nothing. The others still
  // running are drawn again at the next tick.
  const double seconds = SecondsSince(start_);
  if (seconds >= 5) {
    WriteToStderr("\r\033[K" + label_ + ": " + FormatDuration(seconds) + "\n");
  } else if (lineShown) {
    WriteToStderr("\r\033[K");
  }
  lineShown = false;
}

void Progress::DrawLine() {
  std::string line;
  for (const Progress* p : running) {
    const double seconds = SecondsSince(p->start_);
    if (seconds < 1) continue;
    line += (line.empty() ? "" : "; ") + p->label_ + " ... " + FormatDuration(seconds) +
            (seconds >= 10 && !p->hint_.empty() ? "  (" + p->hint_ + ")" : "");
  }
  const size_t width = TerminalWidth() - 1;
  if (line.size() > width) {
    size_t cut = width;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
      --cut;  // not inside a UTF-8 character
    line.resize(cut);
  }
  // Written with write(2) so that it reaches the terminal at once, whatever the buffering of
  // the streams; \r and erase-line keep it on one line.
  WriteToStderr("\r\033[K" + line);
  lineShown = !line.empty();
}

void Progress::run() {
  using namespace std::chrono_literals;
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_for(lock, 1s, [this] { return done_; })) return;
  do {
    // The oldest indicator running draws the line for all of them.
    std::lock_guard line(lineMutex);
    if (!running.empty() && running.front() == this) DrawLine();
  } while (!wake_.wait_for(lock, 200ms, [this] { return done_; }));
}

}  // namespace vexmor::cli
