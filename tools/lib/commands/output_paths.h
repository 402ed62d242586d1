// Checks the files that a command will write before it reads or analyses anything, so that a
// long analysis never ends in "cannot write": a known extension, an existing folder that can
// be written, and never the input file itself.
#pragma once

#include <string>
#include <vector>

namespace vexmor::cli {

struct OutputPath {
  std::string option;                   // "-o", "--png", ...
  std::string path;                     // empty: not asked for
  std::vector<std::string> extensions;  // lowercase, with the dot: ".vtp"
};

// Throws CommandError (exit 2) naming the option and the problem.
void CheckOutputPaths(const std::vector<OutputPath>& outputs, const std::string& input);

}  // namespace vexmor::cli
