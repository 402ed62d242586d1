// The subcommands. Each returns the program's exit status and prints its summary (text or
// JSON) on standard output and its errors on standard error.
#pragma once

#include <string>

#include "commands/options.h"

namespace vexmor::cli {

int RunCheck(const CommonOptions& common);
int RunThickness(const CommonOptions& common, const ThicknessOptions& options);
int RunGradient(const CommonOptions& common, const GradientOptions& options);
int RunDraft(const CommonOptions& common, const DraftOptions& options);
int RunDihedral(const CommonOptions& common, const DihedralOptions& options);
int RunAnalyze(const CommonOptions& common);
int RunSample(const std::string& output, bool text);

}  // namespace vexmor::cli
