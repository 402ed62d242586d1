// What a command has to say: a few sections, each with text lines for the terminal and the
// same facts as JSON, plus the per-face, per-node and per-edge values that -o writes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/statistics.h"
#include "mesh/mesh.h"

namespace vexmor::cli {

struct Section {
  std::string key;                 // its name in the JSON summary
  std::string title;               // its heading on the terminal
  std::vector<std::string> lines;  // its body on the terminal
  nlohmann::json json = nlohmann::json::object();
};

enum class Location { kFace, kNode, kEdge };

struct Field {
  std::string name;  // e.g. "thickness_ray", "draft_deg"
  Location location = Location::kFace;
  std::vector<double> values;  // NaN where there is no value
};

struct Results {
  const Mesh* mesh = nullptr;  // nodes no face uses (query points) are written as points
  std::vector<Field> fields;
  std::vector<int32_t> edgeNodes;  // two per edge, for the kEdge fields
  std::string colourField;         // the face field that colours the faces of a .ply
};

struct Report {
  std::string command;
  std::string file;
  std::string format;
  std::string unit;        // the length unit of every value: "mm", "in", ...; empty: unknown
  std::string unitSource;  // where it comes from: "the file's own", "--unit", ...
  std::string repair;      // with --repair: what it changed, in counts
  nlohmann::json repairJson;
  std::vector<std::string> notes;
  std::vector<std::string> warnings;  // what makes the results on this mesh doubtful
  std::vector<Section> sections;
  Results results;
};

// How the terminal output looks: UTF-8 blocks or plain characters, colours or none.
struct TextStyle {
  bool utf8 = false;
  bool colour = false;
  int barWidth = 36;
};
TextStyle StyleForStdout();

// A number as a person reads it: four significant digits, without trailing zeros.
std::string FormatValue(double value);
// 12345 as "12 345" (thin grouping keeps big counts readable).
std::string FormatCount(size_t count);
std::string FormatPercent(double share);

// The lines that show a distribution: count, order statistics, the histogram, and what lies
// outside the limits. `unit` follows every value ("" for none); `items` names what is
// counted ("faces", "nodes", "edges", "points").
std::vector<std::string> DistributionLines(const Distribution& d, const std::string& unit,
                                           const std::string& items, const Limits& limits,
                                           const TextStyle& style);
nlohmann::json DistributionJson(const Distribution& d, const Limits& limits);

// "mm" as "millimetres", and so on.
std::string UnitName(const std::string& unit);
// How a legend or an axis names the unit: "degrees" for "deg", "ratio, no unit" for none.
std::string UnitLabel(const std::string& unit);
// "2.5 mm": a value and its unit, if it has one ("file units" go unsaid).
std::string WithUnit(double value, const std::string& unit);

std::string RenderText(const Report& report, const TextStyle& style);
nlohmann::json RenderJson(const Report& report, int exitCode,
                          const std::vector<std::string>& errors);

}  // namespace vexmor::cli
