// Checks of option values whose messages show the number as the user typed it.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "io/text_cursor.h"

namespace vexmor::cli {

// A number within bounds; messages show the number as typed and the bounds as written here.
inline CLI::Validator InRange(double lo, double hi, const std::string& loText,
                              const std::string& hiText, bool whole = false) {
  const std::string range = "from " + loText + " to " + hiText;
  return CLI::Validator(
      [=](std::string& input) -> std::string {
        double v = 0;
        int64_t n = 0;
        const bool ok =
            whole ? TextCursor::ParseInteger(input, n) : TextCursor::ParseNumber(input, v);
        if (whole) v = static_cast<double>(n);
        if (!ok)
          return std::string("expected ") + (whole ? "a whole number" : "a number") + ", got '" +
                 input + "'";
        if (v < lo || v > hi) return "expected " + range + ", got " + input;
        return {};
      },
      range);
}

}  // namespace vexmor::cli
