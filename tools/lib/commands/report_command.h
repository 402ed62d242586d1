// `vexmor report`: every analysis with its thresholds, then the self-contained HTML report.
#pragma once

#include <string>

#include "commands/options.h"

namespace vexmor::cli {

struct ReportOptions {
  CommonOptions common;  // the file, --json, --bins, -v; common.output is not used
  std::string html;      // -o: the page to write
  ThicknessOptions thickness;
  GradientOptions gradient;
  DraftOptions draft;
  DihedralOptions dihedral;
};

int RunReport(const ReportOptions& options);

}  // namespace vexmor::cli
