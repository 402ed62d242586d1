#include "io/text_cursor.h"

#include <charconv>
#include <cmath>

#include "io/read_error.h"

namespace vexmor::cli {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
bool IsSpace(char c) {
  return IsBlank(c) || c == '\n';
}

}  // namespace

std::string Quoted(std::string_view token) {
  constexpr size_t kShown = 24;
  std::string out = "'";
  for (size_t i = 0; i < token.size() && i < kShown; ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      static const char* kHex = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (token.size() > kShown) out += "...";
  return out + "'";
}

void TextCursor::skipSpace(char comment) {
  while (p_ != end_) {
    const char c = *p_;
    if (c == '\n') {
      ++line_;
      ++p_;
    } else if (IsBlank(c)) {
      ++p_;
    } else if (comment != 0 && c == comment) {
      while (p_ != end_ && *p_ != '\n')
        ++p_;
    } else {
      return;
    }
  }
}

void TextCursor::skipBlanks() {
  while (p_ != end_ && IsBlank(*p_))
    ++p_;
}

bool TextCursor::atLineEnd() {
  skipBlanks();
  return p_ == end_ || *p_ == '\n';
}

void TextCursor::skipLine() {
  while (p_ != end_ && *p_ != '\n')
    ++p_;
  if (p_ != end_) {
    ++p_;
    ++line_;
  }
}

std::string_view TextCursor::word(char comment) {
  skipSpace(comment);
  const char* start = p_;
  while (p_ != end_ && !IsSpace(*p_))
    ++p_;
  return {start, static_cast<size_t>(p_ - start)};
}

std::string_view TextCursor::wordInLine() {
  skipBlanks();
  const char* start = p_;
  while (p_ != end_ && !IsSpace(*p_))
    ++p_;
  return {start, static_cast<size_t>(p_ - start)};
}

bool TextCursor::ParseNumber(std::string_view token, double& value) {
  const char* first = token.data();
  const char* last = first + token.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last && std::isfinite(value);
}

bool TextCursor::ParseInteger(std::string_view token, int64_t& value) {
  const char* first = token.data();
  const char* last = first + token.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

double TextCursor::toNumber(std::string_view token, std::string_view what) const {
  double value = 0;
  if (ParseNumber(token, value)) return value;
  double any = 0;
  const char* first = token.data() + (!token.empty() && token[0] == '+' ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(first, token.data() + token.size(), any);
  if (ec == std::errc::result_out_of_range) {
    fail(std::string(what) + " " + Quoted(token) + " is out of the range of doubles");
  }
  if (ec == std::errc() && ptr == token.data() + token.size()) {
    fail(std::string(what) + " " + Quoted(token) + " is not a finite number");
  }
  failFound(what, token);
}

int64_t TextCursor::toInteger(std::string_view token, std::string_view what) const {
  int64_t value = 0;
  if (ParseInteger(token, value)) return value;
  failFound(what, token);
}

double TextCursor::number(std::string_view what, char comment) {
  return toNumber(word(comment), what);
}
double TextCursor::numberInLine(std::string_view what) {
  return toNumber(wordInLine(), what);
}
int64_t TextCursor::integer(std::string_view what, char comment) {
  return toInteger(word(comment), what);
}
int64_t TextCursor::integerInLine(std::string_view what) {
  return toInteger(wordInLine(), what);
}

void TextCursor::fail(std::string_view what) const {
  FailAtLine(path_, line_, what);
}

void TextCursor::failFound(std::string_view expected, std::string_view found) const {
  if (found.empty()) {
    fail("expected " + std::string(expected) +
         (p_ == end_ ? ", found the end of the file" : ", found the end of the line"));
  }
  fail("expected " + std::string(expected) + ", found " + Quoted(found));
}

}  // namespace vexmor::cli
