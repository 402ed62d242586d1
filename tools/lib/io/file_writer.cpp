#include "io/file_writer.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexmor::cli {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw std::runtime_error(path + ": cannot write: " + reason);
}
[[noreturn]] void Fail(const std::string& path, int error) {
  Fail(path, std::strerror(error));
}

// A name that no other writer uses: hidden, beside the target (so that the rename stays on one
// file system), made unique by the process and a counter.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
#if defined(_WIN32)
  const int pid = _getpid();
#else
  const int pid = static_cast<int>(::getpid());
#endif
  return target.parent_path() / ("." + target.filename().string() + ".partial-" +
                                 std::to_string(pid) + "-" + std::to_string(counter.fetch_add(1)));
}

#if defined(_WIN32)

// Windows: the bytes go into the temporary file, which then replaces the target in one move.
void WriteWhole(const std::string& path, const std::filesystem::path& target,
                std::string_view bytes) {
  const std::filesystem::path temporary = TemporaryBeside(target);
  const int fd =
      _wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) Fail(path, errno);
  int error = 0;
  while (!bytes.empty() && error == 0) {
    const unsigned chunk = static_cast<unsigned>((std::min<size_t>)(bytes.size(), 1u << 30));
    const int written = _write(fd, bytes.data(), chunk);
    if (written < 0)
      error = errno;
    else
      bytes.remove_prefix(static_cast<size_t>(written));
  }
  if (error == 0 && _commit(fd) != 0) error = errno;
  if (_close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    _wremove(temporary.c_str());
    Fail(path, error);
  }
  if (!MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    _wremove(temporary.c_str());
    Fail(path, std::system_category().message(static_cast<int>(code)));
  }
}

#else

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

void WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) Fail(path, errno);
  const int error = WriteAll(fd, bytes);
  if (::close(fd) != 0 && error == 0) Fail(path, errno);
  if (error != 0) Fail(path, error);
}

// POSIX: O_EXCL refuses a temporary name already taken; the file reaches the disk (fsync)
// before the rename replaces the target, so that a crash cannot leave an empty result.
void WriteWhole(const std::string& path, const std::filesystem::path& target,
                std::string_view bytes, const struct stat* existing) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = TemporaryBeside(target).string();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt >= 100)) Fail(path, errno);
  }
  int error = WriteAll(fd, bytes);
  // A replaced file keeps who may read it; a new one gets the usual mode less the umask.
  if (error == 0 && existing != nullptr && ::fchmod(fd, existing->st_mode & 07777) != 0) {
    error = errno;
  }
  if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    Fail(path, error);
  }
}

#endif

}  // namespace

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::filesystem::path target(path);
  std::error_code ignored;
  if (std::filesystem::is_symlink(target, ignored)) {
    const auto resolved = std::filesystem::weakly_canonical(target, ignored);
    if (!ignored) target = resolved;
  }
#if defined(_WIN32)
  WriteWhole(path, target, bytes);
#else
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(path, bytes);
  WriteWhole(path, target, bytes, exists ? &existing : nullptr);
#endif
}

}  // namespace vexmor::cli
