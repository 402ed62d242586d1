#include "report/report.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "report/colour_map.h"

namespace vexmor::cli {
namespace {

bool LocaleIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == 0) continue;
    std::string v(value);
    for (char& c : v)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v.find("utf-8") != std::string::npos || v.find("utf8") != std::string::npos;
  }
  return false;
}

// A bar of `fraction` x width cells, drawn with eighth blocks in UTF-8.
std::string Bar(double fraction, const TextStyle& style) {
  const double cells = std::clamp(fraction, 0.0, 1.0) * style.barWidth;
  std::string bar;
  if (!style.utf8) {
    const int n = static_cast<int>(std::lround(cells));
    bar.assign(static_cast<size_t>(n), '#');
    bar.append(static_cast<size_t>(style.barWidth - n), ' ');
    return bar;
  }
  static const char* kEighths[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
  const int whole = static_cast<int>(cells);
  const int eighths = static_cast<int>((cells - whole) * 8);
  for (int i = 0; i < whole; ++i)
    bar += "█";
  bar += kEighths[eighths];
  bar.append(static_cast<size_t>(style.barWidth - whole - (eighths > 0 ? 1 : 0)), ' ');
  return bar;
}

std::string Padded(const std::string& s, size_t width, bool right = true) {
  if (s.size() >= width) return s;
  const std::string pad(width - s.size(), ' ');
  return right ? pad + s : s + pad;
}

}  // namespace

TextStyle StyleForStdout() {
  TextStyle style;
  style.utf8 = LocaleIsUtf8();
  const char* term = std::getenv("TERM");
  style.colour = ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr &&
                 !(term != nullptr && std::strcmp(term, "dumb") == 0);
  return style;
}

std::string FormatValue(double value) {
  if (std::isnan(value)) return "n/a";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[32];
  if (std::fabs(value) >= 1e5 || (value != 0 && std::fabs(value) < 1e-3)) {
    std::snprintf(buffer, sizeof buffer, "%.3e", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.4g", value);
  }
  std::string s = buffer;
  return s == "-0" ? "0" : s;
}

std::string FormatCount(size_t count) {
  std::string digits = std::to_string(count);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

std::string FormatPercent(double share) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f %%", 100 * share);
  return buffer;
}

std::vector<std::string> DistributionLines(const Distribution& d, const std::string& unit,
                                           const std::string& items, const Limits& limits,
                                           const TextStyle& style) {
  std::vector<std::string> lines;
  std::string counted = FormatCount(d.count) + " " + items;
  if (d.missing > 0) counted += " (" + FormatCount(d.missing) + " more without a value)";
  lines.push_back("measured   " + counted);
  if (d.count == 0) return lines;
  // Rounding noise (a mean draft of 1e-6 degrees over a symmetric part) reads as 0: at a
  // millionth of the largest magnitude a value is zero for anyone reading the summary.
  const double noise = 1e-6 * std::max(std::fabs(d.min), std::fabs(d.max));
  auto format = [&](double value) {
    return FormatValue(std::fabs(value) < noise ? 0.0 : value) + (unit.empty() ? "" : " " + unit);
  };
  auto cell = [](const std::string& name, const std::string& value) {
    return Padded(name, 7, false) + Padded(value, 11, false) + " ";
  };
  lines.push_back(cell("min", format(d.min)) + cell("p5", format(d.p5)) +
                  cell("median", format(d.median)));
  lines.push_back(cell("mean", format(d.mean)) + cell("p95", format(d.p95)) +
                  cell("max", format(d.max)));
  if (d.weighted) lines.push_back("area-weighted mean " + format(d.weightedMean));
  lines.push_back(std::string("histogram (share of ") + (d.weighted ? "area" : items) + ")");
  double largest = 0;
  for (const auto& bin : d.histogram)
    largest = std::max(largest, bin.share);
  auto bound = [&](double value) { return FormatValue(std::fabs(value) < noise ? 0.0 : value); };
  size_t fromWidth = 0, toWidth = 0;
  for (const auto& bin : d.histogram) {
    fromWidth = std::max(fromWidth, bound(bin.from).size());
    toWidth = std::max(toWidth, bound(bin.to).size());
  }
  std::vector<std::string> ranges;
  for (const auto& bin : d.histogram) {
    ranges.push_back(Padded(bound(bin.from), fromWidth) + (style.utf8 ? " – " : " - ") +
                     Padded(bound(bin.to), toWidth, false));
  }
  const double span = d.max > d.min ? d.max - d.min : 1;
  for (size_t b = 0; b < d.histogram.size(); ++b) {
    const auto& bin = d.histogram[b];
    std::string bar = Bar(largest > 0 ? bin.share / largest : 0, style);
    if (style.colour) {
      const Rgb c = ColourAt(((bin.from + bin.to) / 2 - d.min) / span);
      char escape[32];
      std::snprintf(escape, sizeof escape, "\033[38;2;%d;%d;%dm", c[0], c[1], c[2]);
      bar = escape + bar + "\033[0m";
    }
    lines.push_back("  " + ranges[b] + (style.utf8 ? " │" : " |") + bar +
                    Padded(FormatPercent(bin.share), 8) + "  " + FormatCount(bin.count) +
                    (bin.tail ? "  (the farthest 1 %, in one wide bin)" : ""));
  }
  const std::string shareOf = d.weighted ? " of the area" : " of the " + items;
  if (limits.min) {
    lines.push_back("below " + WithUnit(*limits.min, unit) + ": " + FormatCount(d.below) + " " +
                    items + ", " + FormatPercent(d.belowShare) + shareOf);
  }
  if (limits.max) {
    lines.push_back("above " + WithUnit(*limits.max, unit) + ": " + FormatCount(d.above) + " " +
                    items + ", " + FormatPercent(d.aboveShare) + shareOf);
  }
  return lines;
}

nlohmann::json DistributionJson(const Distribution& d, const Limits& limits) {
  nlohmann::json j;
  j["count"] = d.count;
  j["missing"] = d.missing;
  if (d.count > 0) {
    j["min"] = d.min;
    j["max"] = d.max;
    j["mean"] = d.mean;
    j["median"] = d.median;
    j["p5"] = d.p5;
    j["p95"] = d.p95;
    if (d.weighted) j["area_weighted_mean"] = d.weightedMean;
    j["histogram_weight"] = d.weighted ? "area" : "count";
    auto bins = nlohmann::json::array();
    for (const auto& bin : d.histogram) {
      bins.push_back({{"from", bin.from},
                      {"to", bin.to},
                      {"count", bin.count},
                      {"share", bin.share},
                      {"tail", bin.tail}});
    }
    j["histogram"] = bins;
  }
  if (limits.min) {
    j["below_min"] = {{"limit", *limits.min}, {"count", d.below}, {"share", d.belowShare}};
  }
  if (limits.max) {
    j["above_max"] = {{"limit", *limits.max}, {"count", d.above}, {"share", d.aboveShare}};
  }
  return j;
}

std::string WithUnit(double value, const std::string& unit) {
  return FormatValue(value) + (unit.empty() || unit == "file units" ? "" : " " + unit);
}

std::string UnitLabel(const std::string& unit) {
  if (unit.empty()) return "ratio, no unit";
  if (unit == "deg") return "degrees";
  return unit;
}

std::string UnitName(const std::string& unit) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"mm", "millimetres"}, {"cm", "centimetres"}, {"m", "metres"},
      {"in", "inches"},      {"ft", "feet"},        {"um", "micrometres"}};
  for (const auto& [symbol, name] : kNames) {
    if (unit == symbol) return name;
  }
  return unit;
}

std::string RenderText(const Report& report, const TextStyle& style) {
  std::string out;
  const std::string bold = style.colour ? "\033[1m" : "", plain = style.colour ? "\033[0m" : "";
  out +=
      bold + report.file + plain + "  (" + report.format +
      (report.unit.empty() ? ""
                           : "; lengths in " + UnitName(report.unit) + ", " + report.unitSource) +
      ")\n";
  if (!report.repair.empty()) out += "repair: " + report.repair + "\n";
  for (const auto& note : report.notes)
    out += "note: " + note + "\n";
  for (const auto& warning : report.warnings)
    out += "warning: " + warning + "\n";
  for (const Section& section : report.sections) {
    out += "\n" + bold + section.title + plain + "\n";
    for (const auto& line : section.lines) {
      const size_t end = line.find_last_not_of(' ');
      out += "  " + line.substr(0, end == std::string::npos ? 0 : end + 1) + "\n";
    }
  }
  return out;
}

nlohmann::json RenderJson(const Report& report, int exitCode,
                          const std::vector<std::string>& errors) {
  nlohmann::json j;
  j["command"] = report.command;
  j["file"] = report.file;
  j["format"] = report.format;
  if (!report.unit.empty()) {
    j["unit"] = report.unit;
    j["unit_source"] = report.unitSource;
  }
  if (!report.repair.empty()) j["repair"] = report.repairJson;
  j["notes"] = report.notes;
  j["warnings"] = report.warnings;
  for (const Section& section : report.sections)
    j[section.key] = section.json;
  j["exit_code"] = exitCode;
  j["errors"] = errors;
  return j;
}

}  // namespace vexmor::cli
