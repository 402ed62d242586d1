// The design rules of manufacturing processes that the analyses can check: minimum and
// maximum wall, largest thickness change between neighbouring faces, minimum draft. Lengths
// are in millimetres; the README lists each value and where it comes from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexmor::cli {

struct ProcessRules {
  std::string_view name;                   // as given to --process: "fdm", ...
  std::string_view title;                  // as shown: "FDM printing"
  std::optional<double> minWall, maxWall;  // mm
  std::optional<double> maxGradient;       // relative change; 1: twice as thick
  std::optional<double> minDraft;          // degrees, against the pull
};

// nullptr for a name that is no process.
const ProcessRules* FindProcess(std::string_view name);
// "fdm, sla, sls, injection".
std::string ProcessNames();

// Millimetres in one unit ("mm", "cm", "m", "in", "ft", "um"); 0 for an unknown unit.
double MillimetresPer(std::string_view unit);

}  // namespace vexmor::cli
