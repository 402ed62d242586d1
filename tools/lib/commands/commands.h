// The subcommands. Each returns the program's exit status and prints its summary (text or
// JSON) on standard output and its errors on standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "commands/options.h"
#include "commands/session.h"

namespace vexmor::cli {

// Opens the session and runs the analyses; a failing analysis is reported and, unless it is
// the only one, the others still run. Then writes the pictures asked for and finishes.
int Run(const std::string& command, const CommonOptions& common,
        const std::vector<std::function<void(Session&)>>& analyses);

int RunCheck(const CommonOptions& common);
int RunThickness(const CommonOptions& common, const ThicknessOptions& options);
int RunGradient(const CommonOptions& common, const GradientOptions& options);
int RunDraft(const CommonOptions& common, const DraftOptions& options);
int RunDihedral(const CommonOptions& common, const DihedralOptions& options);
int RunAnalyze(const CommonOptions& common);
int RunSample(const std::string& output, bool text);

}  // namespace vexmor::cli
