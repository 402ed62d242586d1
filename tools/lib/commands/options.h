// The options of the subcommands, as the argument parser fills them.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "analysis/library_calls.h"
#include "commands/process_rules.h"
#include "mesh/mesh.h"
#include "mesh/mesh_repair.h"

namespace vexmor::cli {

struct CommonOptions {
  std::string file;      // empty: the bundled sample part
  std::string output;    // -o: .vtp, .ply or .csv
  bool json = false;     // the summary as JSON on standard output
  bool verbose = false;  // the library's diagnostic lines on standard error
  int bins = 10;         // histogram bins

  std::string png, svg, pdf;  // heat-map pictures of the results

  std::string unit;                       // --unit: the unit of the file's numbers
  const ProcessRules* process = nullptr;  // --process: the rules each analysis checks

  bool repair = false;  // --repair: mend the mesh first (see mesh_repair.h)
  RepairOptions repairOptions;

  int threads = 1;  // analyze: threads running its analyses at once (--threads)

  // Set when the run is one of many: the summary and errors are handed back here (as the
  // --json summary would be) instead of being printed.
  nlohmann::json* capture = nullptr;
};

// The part breaks a rule of the process (--process).
constexpr int kExitPartFails = 4;

struct ThicknessOptions {
  ThicknessMethod method = ThicknessMethod::kRay;
  bool outside = false;
  bool refine = true;  // sphere and contact: refine the triangles first (see refinement.h)
  std::optional<double> min, max;
  std::string points;  // query points for the distance method
};

struct GradientOptions {
  ThicknessMethod method = ThicknessMethod::kRay;
  bool outside = false;
  bool refine = true;
  std::optional<double> max;  // faces whose gradient exceeds it are counted
};

struct DraftOptions {
  Vec3 pull{0, 0, 1};
  double minDraft = 1.0;  // degrees
};

struct DihedralOptions {
  bool signedAngles = false;
  bool perNode = false;
  double sharp = 30.0;  // degrees
};

}  // namespace vexmor::cli
