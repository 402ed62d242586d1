#include "commands/process_rules.h"

namespace vexmor::cli {
namespace {

// Common design-guide values; README.md names the guides.
const ProcessRules kProcesses[] = {
    {"fdm", "FDM printing", 0.8, std::nullopt, std::nullopt, std::nullopt},
    {"sla", "SLA printing", 0.8, std::nullopt, std::nullopt, std::nullopt},
    {"sls", "SLS printing", 0.7, std::nullopt, std::nullopt, std::nullopt},
    {"injection", "injection moulding", 1.5, 3.0, 1.0, 1.0},
};

}  // namespace

const ProcessRules* FindProcess(std::string_view name) {
  for (const auto& p : kProcesses) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

std::string ProcessNames() {
  std::string out;
  for (const auto& p : kProcesses)
    out += (out.empty() ? "" : ", ") + std::string(p.name);
  return out;
}

double MillimetresPer(std::string_view unit) {
  if (unit == "mm") return 1;
  if (unit == "cm") return 10;
  if (unit == "m") return 1000;
  if (unit == "in") return 25.4;
  if (unit == "ft") return 304.8;
  if (unit == "um") return 0.001;
  return 0;
}

}  // namespace vexmor::cli
