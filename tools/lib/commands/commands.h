// The subcommands. Each returns the program's exit status and prints its summary (text or
// JSON) on standard output and its errors on standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "commands/options.h"
#include "commands/output_paths.h"
#include "commands/session.h"

namespace vexmor::cli {

// Checks the output paths (common ones and `outputs`), opens the session and runs the
// analyses; a failing analysis is reported and, unless it is the only one, the others still
// run. Then writes the pictures asked for and finishes.
int Run(const std::string& command, const CommonOptions& common,
        const std::vector<std::function<void(Session&)>>& analyses,
        const std::vector<OutputPath>& outputs = {});

int RunCheck(const CommonOptions& common);
int RunThickness(const CommonOptions& common, const ThicknessOptions& options);
int RunGradient(const CommonOptions& common, const GradientOptions& options);
int RunDraft(const CommonOptions& common, const DraftOptions& options);
int RunDihedral(const CommonOptions& common, const DihedralOptions& options);
// Every analysis in one summary; the gradient reuses the thickness.
int RunAnalyze(const CommonOptions& common, const ThicknessOptions& thickness,
               std::optional<double> maxGradient, const DraftOptions& draft,
               const DihedralOptions& dihedral);
int RunSample(const std::string& output, bool text);

}  // namespace vexmor::cli
