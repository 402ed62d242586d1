// The options of `vexmor report`: every analysis' thresholds, named as on the analyses' own
// subcommands.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "argument_checks.h"
#include "commands/report_command.h"

namespace vexmor::cli {

// `method` and `pull` are the texts that the caller turns into the thickness method and the
// pull direction, as for the other subcommands.
inline CLI::App* AddReportSubcommand(CLI::App& app, ReportOptions& o, std::string& method,
                                     std::string& pull) {
  auto* report = app.add_subcommand(
      "report",
      "Every analysis with its thresholds, written as one HTML page to open in a browser: a 3D "
      "view coloured by each analysis, statistics, histograms and the faces to look at");
  report->add_option("FILE", o.common.file,
                     "Mesh file: .stl, .obj, .off or .ply (default: the sample part)");
  report->add_option("-o,--output", o.html, "The HTML file to write")->required();
  report
      ->add_option("--method", method,
                   "Thickness method: ray (default, fast), sphere or contact (careful, slow on "
                   "large thick parts)")
      ->check(CLI::IsMember({"ray", "sphere", "contact"}));
  report->add_option("--min", o.thickness.min, "Flag the faces thinner than T")->type_name("T");
  report->add_option("--max", o.thickness.max, "Flag the faces thicker than T")->type_name("T");
  report->add_option("--max-gradient", o.gradient.max, "Flag the faces whose gradient exceeds G")
      ->type_name("G");
  report->add_option("--pull", pull,
                     "Pull direction as X,Y,Z or an axis such as z or -y (default 0,0,1)");
  report
      ->add_option("--min-draft", o.draft.minDraft,
                   "Faces closer than this to the pull direction require draft (default 1)")
      ->type_name("DEG")
      ->check(InRange(0, 90, "0", "90"));
  report
      ->add_option("--sharp", o.dihedral.sharp,
                   "Edges at this angle or more count as sharp (default 30)")
      ->type_name("DEG")
      ->check(InRange(0, 180, "0", "180"));
  report->add_flag("--signed", o.dihedral.signedAngles,
                   "Signed dihedral angles: convex positive, concave negative");
  report->add_flag("--json", o.common.json, "Print the summary as JSON on standard output");
  report->add_option("--bins", o.common.bins, "Histogram bins (default 10)")
      ->check(InRange(1, 200, "1", "200", true));
  report->add_flag("-v,--verbose", o.common.verbose,
                   "Show the library's diagnostic lines (on standard error)");
  return report;
}

}  // namespace vexmor::cli
