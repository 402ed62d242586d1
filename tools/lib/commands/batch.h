// Many files in one run: each is analysed as on its own, its summary becomes one line of a
// table (or one JSON object per line with --json), a bad file gives its error on its own line
// and the others go on, and the exit status is the worst of them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "commands/options.h"

namespace vexmor::cli {

// The files that the arguments name: files as given, and the mesh files in each folder (in
// its subfolders too with `recursive`), in name order. Throws CommandError (exit 2) for an
// argument that does not exist, or a folder holding no mesh file.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& arguments, bool recursive);

// Runs `runOne` on a copy of `common` for each file, `jobs` at a time, and prints the table or
// the JSON lines in the files' order as they finish. `common.output` and the pictures must be
// empty (they name one file).
int RunBatch(const std::string& command, const CommonOptions& common,
             const std::vector<std::string>& files, int jobs,
             const std::function<int(const CommonOptions&)>& runOne);

}  // namespace vexmor::cli
