// The one error that every reader throws: a single line naming the file, the place in it (a
// line for text, a byte offset for binary data) and what was expected there.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexmor::cli {

class ReadError : public std::runtime_error {
 public:
  explicit ReadError(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] inline void FailAtLine(std::string_view path, size_t line, std::string_view what) {
  throw ReadError(std::string(path) + ":" + std::to_string(line) + ": " + std::string(what));
}

[[noreturn]] inline void FailAtByte(std::string_view path, size_t offset, std::string_view what) {
  throw ReadError(std::string(path) + ": byte " + std::to_string(offset) + ": " +
                  std::string(what));
}

[[noreturn]] inline void FailInFile(std::string_view path, std::string_view what) {
  throw ReadError(std::string(path) + ": " + std::string(what));
}

// Shows a token as a person can read it in a message: printable characters as they are, other
// bytes as \xNN, cut after a few characters.
std::string Quoted(std::string_view token);

}  // namespace vexmor::cli
