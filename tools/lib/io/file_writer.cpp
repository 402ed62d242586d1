#include "io/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace vexmor::cli {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw std::runtime_error(path + ": cannot write: " + std::strerror(error));
}

// Every byte, through short writes and interrupted calls; 0 or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

// A name that no other writer uses: hidden, beside the target (so that the rename stays on
// one file system), made unique by the process and a counter; O_EXCL refuses a name taken.
int CreateTemporaryBeside(const std::filesystem::path& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    name = (target.parent_path() /
            ("." + target.filename().string() + ".partial-" + std::to_string(::getpid()) + "-" +
             std::to_string(counter.fetch_add(1))))
               .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST || attempt >= 100) return fd;
  }
}

void WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) Fail(path, errno);
  const int error = WriteAll(fd, bytes);
  if (::close(fd) != 0 && error == 0) Fail(path, errno);
  if (error != 0) Fail(path, error);
}

}  // namespace

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::filesystem::path target(path);
  struct stat existing {};
  bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(path, bytes);
  std::error_code ignored;
  if (std::filesystem::is_symlink(target, ignored)) {
    const auto resolved = std::filesystem::weakly_canonical(target, ignored);
    if (!ignored) target = resolved;
  }

  std::string temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) Fail(path, errno);
  int error = WriteAll(fd, bytes);
  // A replaced file keeps who may read it; a new one gets the usual mode less the umask.
  if (error == 0 && exists && ::fchmod(fd, existing.st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    Fail(path, error);
  }
}

}  // namespace vexmor::cli
