// Walks through a text file held in memory, token by token, counting lines so that errors can
// say where they are. Numbers are parsed without locale or stream overhead.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexmor::cli {

// ASCII lower case, for keywords and extensions that files and users write in either case.
inline std::string Lowercase(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

class TextCursor {
 public:
  TextCursor(std::string_view path, std::string_view text, size_t firstLine = 1)
      : path_(path), p_(text.data()), end_(text.data() + text.size()), line_(firstLine) {}

  bool atEnd() const { return p_ == end_; }
  size_t line() const { return line_; }
  const char* position() const { return p_; }

  // Skips blanks and line ends, and comments that start with `comment` (when not 0) and run to
  // the end of their line.
  void skipSpace(char comment = 0);
  // Skips blanks but stops at a line end.
  void skipBlanks();
  // True when only blanks remain before the end of the line (or of the file).
  bool atLineEnd();
  // Moves past the end of the current line.
  void skipLine();

  // The next run of non-blank characters; empty at the end of the file.
  std::string_view word(char comment = 0);
  // The next word on the current line; empty at the line's end.
  std::string_view wordInLine();
  // Reads the next word as a finite number; `what` names it in the error.
  double number(std::string_view what, char comment = 0);
  double numberInLine(std::string_view what);
  int64_t integer(std::string_view what, char comment = 0);
  int64_t integerInLine(std::string_view what);

  [[noreturn]] void fail(std::string_view what) const;
  [[noreturn]] void failFound(std::string_view expected, std::string_view found) const;

  // Parses a whole token; false when it is not a number. Out-of-range and non-finite values
  // are refused too.
  static bool ParseNumber(std::string_view token, double& value);
  static bool ParseInteger(std::string_view token, int64_t& value);

 private:
  double toNumber(std::string_view token, std::string_view what) const;
  int64_t toInteger(std::string_view token, std::string_view what) const;

  std::string_view path_;
  const char* p_;
  const char* end_;
  size_t line_;
};

}  // namespace vexmor::cli
