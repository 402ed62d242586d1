#include "report/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "report/web_assets.h"

namespace vexmor::cli {
namespace {

std::string Hex(const Rgb& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
  return text;
}

// Terminal summaries may carry colour escapes; the page shows the plain text.
std::string WithoutEscapes(const std::string& line) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\033') {
      while (i < line.size() && line[i] != 'm')
        ++i;
      continue;
    }
    out += line[i];
  }
  return out;
}

// JSON inside a script element must not close it.
std::string ScriptSafe(std::string json) {
  for (size_t at = json.find("</"); at != std::string::npos; at = json.find("</", at + 3))
    json.replace(at, 2, "<\\/");
  return json;
}

template <typename T>
void AppendRaw(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

// A value outside a layer's thresholds: flagged, or at or past the marked angle.
bool Outside(const FaceLayer& layer, double v) {
  return layer.flagged(v) || (layer.mark && std::isfinite(v) && std::fabs(v) >= *layer.mark);
}

// How far outside: larger is worse.
double Severity(const FaceLayer& layer, double v) {
  double s = -HUGE_VAL;
  if (layer.flagBelow) s = std::max(s, *layer.flagBelow - v);
  if (layer.flagAbove) s = std::max(s, v - *layer.flagAbove);
  if (layer.flagWithin) s = std::max(s, *layer.flagWithin - std::fabs(v));
  if (layer.mark) s = std::max(s, std::fabs(v) - *layer.mark);
  return s;
}

struct MeshData {
  std::string bytes;
  size_t triangles = 0;
  bool split = false;  // some face has more than three nodes
};

// Node coordinates relative to `origin` (float keeps its precision near the part), triangles
// fanned from each face's first node, the face of each triangle when they differ, and one
// colour class per face and layer.
MeshData BuildMeshData(const Mesh& mesh, const std::vector<FaceLayer>& layers, const Vec3& origin) {
  MeshData data;
  std::vector<uint32_t> corners, faceOf;
  corners.reserve(3 * mesh.faceCount());
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    for (size_t k = 1; k + 1 < nodes.size(); ++k) {
      corners.insert(corners.end(),
                     {static_cast<uint32_t>(nodes[0]), static_cast<uint32_t>(nodes[k]),
                      static_cast<uint32_t>(nodes[k + 1])});
      faceOf.push_back(static_cast<uint32_t>(f));
    }
  }
  data.triangles = faceOf.size();
  data.split = data.triangles != mesh.faceCount();
  std::string& out = data.bytes;
  out.reserve(12 * mesh.nodeCount() + 16 * data.triangles + layers.size() * mesh.faceCount());
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    for (int k = 0; k < 3; ++k)
      AppendRaw(out, static_cast<float>(mesh.coords[3 * n + k] - origin[k]));
  }
  for (uint32_t c : corners)
    AppendRaw(out, c);
  if (data.split) {
    for (uint32_t f : faceOf)
      AppendRaw(out, f);
  }
  for (const FaceLayer& layer : layers) {
    for (double v : layer.values) {
      const int bin = layer.binOf(v);
      out += static_cast<char>(layer.flagged(v) ? 254 : bin < 0 ? 255 : bin);
    }
  }
  return data;
}

std::string Row(const std::string& name, const std::string& value) {
  return "<tr><th>" + HtmlEscape(name) + "</th><td class=\"n\">" + HtmlEscape(value) + "</td></tr>";
}

std::string CheckCard(const Section* check) {
  if (check == nullptr) return "";
  const auto& j = check->json;
  const bool accepted = j.value("accepted", false);
  std::string out = "<section class=\"card\" id=\"check\"><h2>Mesh check</h2>";
  out += std::string("<p class=\"verdict ") +
         (accepted ? "ok\">Ready for every analysis" : "bad\">Rejected") + "</p>";
  if (!accepted && j.contains("reasons")) {
    out += "<ul>";
    for (const auto& reason : j["reasons"])
      out += "<li>" + HtmlEscape(reason.get<std::string>()) + "</li>";
    out += "</ul>";
  }
  auto count = [&](const char* key) { return FormatCount(j.value(key, size_t{0})); };
  out += "<table>";
  out += Row("nodes", count("nodes"));
  out += Row("faces", count("faces"));
  out += Row("triangles", count("triangles"));
  out += Row("quadrilaterals", count("quadrilaterals"));
  out += Row("faces of 5+ nodes", count("polygons"));
  out += Row("edges", count("edges"));
  out += Row("boundary edges", count("boundary_edges"));
  out += Row("non-manifold edges", count("non_manifold_edges"));
  out += Row("edges between faces wound against each other", count("misoriented_edges"));
  out += Row("degenerate faces", count("degenerate_faces"));
  out += Row("shells", count("shells"));
  out += Row("closed volumes", count("closed_volumes"));
  out += Row("surface area", FormatValue(j.value("area", 0.0)));
  out += "</table></section>\n";
  return out;
}

std::string HistogramSvg(const FaceLayer& layer, const nlohmann::json& values) {
  const auto& bins = layer.bins;
  if (bins.empty()) return "";
  constexpr double kWidth = 440, kHeight = 150, kLeft = 8, kBottom = 120, kTop = 14;
  double largest = 0;
  for (const auto& b : bins)
    largest = std::max(largest, b.share);
  const double step = (kWidth - 2 * kLeft) / bins.size();
  char buffer[256];
  std::string out = "<svg class=\"histogram\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    FormatValue(kWidth) + " " + FormatValue(kHeight) + "\" width=\"" +
                    FormatValue(kWidth) + "\" height=\"" + FormatValue(kHeight) +
                    "\" role=\"img\" aria-label=\"histogram\">";
  const bool weighted = values.value("histogram_weight", "count") == "area";
  out += "<text x=\"" + FormatValue(kLeft) + "\" y=\"10\">share of " +
         (weighted ? std::string("area") : "count") + "</text>";
  for (size_t b = 0; b < bins.size(); ++b) {
    const double h = largest > 0 ? (kBottom - kTop) * bins[b].share / largest : 0;
    std::snprintf(buffer, sizeof buffer,
                  "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\">",
                  kLeft + b * step + 1, kBottom - h, step - 2, h, Hex(layer.binColour(b)).c_str());
    out += buffer;
    out += "<title>" +
           HtmlEscape(layer.label(bins[b].from) + " – " + layer.label(bins[b].to) + ": " +
                      FormatPercent(bins[b].share) + ", " + FormatCount(bins[b].count) +
                      (bins[b].count == 1 ? " face" : " faces")) +
           "</title></rect>";
  }
  const size_t every = std::max<size_t>(1, static_cast<size_t>(std::ceil(34 / step)));
  for (size_t b = 0; b <= bins.size(); ++b) {
    if (b % every != 0 && b != bins.size()) continue;
    const double value = b < bins.size() ? bins[b].from : bins.back().to;
    std::snprintf(buffer, sizeof buffer, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">",
                  kLeft + b * step, kBottom + 14);
    out += buffer + HtmlEscape(layer.label(value)) + "</text>";
  }
  out += "</svg>";
  return out;
}

std::string StatisticsTable(const FaceLayer& layer, const nlohmann::json& values) {
  std::string out = "<table class=\"stats\">";
  out += Row("measured", FormatCount(values.value("count", size_t{0})));
  if (values.value("missing", size_t{0}) > 0) {
    out += Row("without a value", FormatCount(values.value("missing", size_t{0})));
  }
  for (const char* key : {"min", "p5", "median", "mean", "p95", "max", "area_weighted_mean"}) {
    if (!values.contains(key)) continue;
    std::string name = key;
    std::replace(name.begin(), name.end(), '_', ' ');
    out += Row(name, WithUnit(values[key].get<double>(), layer.unit));
  }
  for (const char* key : {"below_min", "above_max"}) {
    if (!values.contains(key)) continue;
    const auto& limit = values[key];
    out += Row(std::string(key[0] == 'b' ? "below " : "above ") +
                   WithUnit(limit.value("limit", 0.0), layer.unit),
               FormatCount(limit.value("count", size_t{0})) + " faces, " +
                   FormatPercent(limit.value("share", 0.0)) + " of the area");
  }
  return out + "</table>";
}

std::string FaceList(const FaceLayer& layer, const Mesh& mesh, const Vec3& origin) {
  std::vector<uint32_t> outside;
  for (size_t f = 0; f < layer.values.size(); ++f) {
    if (Outside(layer, layer.values[f])) outside.push_back(static_cast<uint32_t>(f));
  }
  const std::string heading =
      layer.flags() ? "Faces outside the thresholds" : "Faces at sharp edges";
  std::string out = "<h3>" + heading + ": " + FormatCount(outside.size()) + "</h3>";
  if (outside.empty()) return out;
  const size_t listed = std::min(outside.size(), kListedFaces);
  std::vector<double> area(mesh.faceCount(), 0);
  for (uint32_t f : outside)
    area[f] = FaceArea(mesh, f);
  std::partial_sort(outside.begin(), outside.begin() + listed, outside.end(),
                    [&](uint32_t a, uint32_t b) {
                      const double sa = Severity(layer, layer.values[a]);
                      const double sb = Severity(layer, layer.values[b]);
                      if (sa != sb) return sa > sb;
                      if (area[a] != area[b]) return area[a] > area[b];
                      return a < b;
                    });
  out += "<p class=\"muted\">" +
         std::string(listed < outside.size() ? "The worst " + FormatCount(listed) + ", w" : "W") +
         "orst first; click one to turn the view to it.</p><ol class=\"faces\">";
  char buffer[160];
  for (size_t i = 0; i < listed; ++i) {
    const uint32_t f = outside[i];
    const Vec3 c = FaceCentroid(mesh, f);
    Vec3 n = VectorArea(mesh, mesh.face(f));
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& x : n)
      x = length > 0 ? x / length : 0;
    const std::string value = WithUnit(layer.values[f], layer.unit);
    out += "<li><button type=\"button\" data-layer=\"" + layer.key + "\" data-face=\"" +
           std::to_string(f) + "\" data-centre=\"";
    std::snprintf(buffer, sizeof buffer, "[%.9g,%.9g,%.9g]\" data-normal=\"[%.6f,%.6f,%.6f]\"",
                  c[0] - origin[0], c[1] - origin[1], c[2] - origin[2], n[0], n[1], n[2]);
    out += buffer;
    out += " data-text=\"" +
           HtmlEscape("face " + std::to_string(f) + ": " + layer.title + " " + value) + "\">face " +
           std::to_string(f) + " · " + HtmlEscape(value) + "</button></li>";
  }
  out += "</ol>";
  if (listed < outside.size()) {
    out += "<p class=\"muted\">… and " + FormatCount(outside.size() - listed) +
           " more (write them all with -o FILE.csv on the analysis' own command).</p>";
  }
  return out;
}

std::string AnalysisCard(const Section& section, const FaceLayer* layer, const Mesh& mesh,
                         const Vec3& origin) {
  std::string out = "<section class=\"card analysis\" id=\"analysis-" + section.key + "\">";
  out += "<h2>" +
         HtmlEscape(layer ? layer->title + " (" + UnitLabel(layer->unit) + ")" : section.title) +
         "</h2>";
  if (layer != nullptr) {
    out += "<p class=\"thresholds\">" +
           HtmlEscape(layer->thresholds.empty() ? "no threshold given" : layer->thresholds) +
           "</p>";
    const auto& values =
        section.json.contains("values") ? section.json["values"] : nlohmann::json::object();
    out += StatisticsTable(*layer, values);
    out += HistogramSvg(*layer, values);
    if (layer->flags() || layer->mark) out += FaceList(*layer, mesh, origin);
  }
  out += "<details><summary>Summary as vexmor prints it</summary><pre>" +
         HtmlEscape(section.title) + "\n";
  for (const auto& line : section.lines)
    out += HtmlEscape(WithoutEscapes(line)) + "\n";
  out += "</pre></details></section>\n";
  return out;
}

nlohmann::json LayerJson(const FaceLayer& layer) {
  nlohmann::json bins = nlohmann::json::array();
  for (size_t b = 0; b < layer.bins.size(); ++b) {
    bins.push_back(
        {{"colour", Hex(layer.binColour(b))},
         {"label", layer.label(layer.bins[b].from) + " – " + layer.label(layer.bins[b].to)}});
  }
  const size_t missing = static_cast<size_t>(std::count_if(
      layer.values.begin(), layer.values.end(), [](double v) { return !std::isfinite(v); }));
  const std::string flagText =
      layer.flags() ? layer.thresholds.substr(layer.thresholds.find(':') + 2) : "";
  return {{"key", layer.key},
          {"title", layer.title},
          {"unit", layer.unit == "file units" ? "" : layer.unit},
          {"unitName", UnitLabel(layer.unit)},
          {"bins", bins},
          {"lowEnd", layer.lowEnd},
          {"highEnd", layer.highEnd},
          {"lowBad", layer.lowBad},
          {"highBad", layer.highBad},
          {"flags", layer.flags()},
          {"flagText", flagText},
          {"missing", missing}};
}

std::string Fill(std::string_view page,
                 const std::vector<std::pair<std::string, std::string>>& parts) {
  // Placeholders are found in the template only, never in what replaces them.
  std::string out;
  size_t at = 0;
  while (true) {
    const size_t open = page.find('@', at);
    if (open == std::string_view::npos) break;
    const size_t close = page.find('@', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = page.substr(open + 1, close - open - 1);
    const auto part =
        std::find_if(parts.begin(), parts.end(), [&](const auto& p) { return p.first == name; });
    if (part == parts.end()) {
      out.append(page.substr(at, close - at));
      at = close;
      continue;
    }
    out.append(page.substr(at, open - at));
    out += part->second;
    at = close + 1;
  }
  out.append(page.substr(at));
  return out;
}

}  // namespace

std::string Base64(std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  auto at = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t v = at(i) << 16 | (two ? at(i + 1) << 8 : 0);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += two ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string HtmlReport(const Report& report, const Mesh& mesh, const std::vector<FaceLayer>& layers,
                       const std::string& part) {
  const Box box = NodeBox(mesh);
  const Vec3 origin{(box.lo[0] + box.hi[0]) / 2, (box.lo[1] + box.hi[1]) / 2,
                    (box.lo[2] + box.hi[2]) / 2};
  const MeshData data = BuildMeshData(mesh, layers, origin);

  const Section* check = nullptr;
  std::string analyses;
  for (const Section& s : report.sections) {
    if (s.key == "check") {
      check = &s;
      continue;
    }
    const auto layer = std::find_if(layers.begin(), layers.end(),
                                    [&](const FaceLayer& l) { return l.key == s.key; });
    analyses += AnalysisCard(s, layer == layers.end() ? nullptr : &*layer, mesh, origin);
  }
  if (analyses.empty()) {
    analyses =
        "<section class=\"card\"><h2>Analyses</h2><p>None ran: the check says why.</p></section>";
  }

  nlohmann::json summary;
  summary["part"] = part;
  summary["flaggedColour"] = Hex(kFlaggedColour);
  summary["noValueColour"] = Hex(kNoValueColour);
  summary["mesh"] = {{"nodes", mesh.nodeCount()},
                     {"faces", mesh.faceCount()},
                     {"triangles", data.triangles},
                     {"split", data.split},
                     {"origin", origin}};
  summary["layers"] = nlohmann::json::array();
  for (const FaceLayer& layer : layers)
    summary["layers"].push_back(LayerJson(layer));

  std::string subheading = report.format;
  for (const auto& note : report.notes)
    subheading += "; " + note;

  const WebAssets& assets = BuiltInWebAssets();
  return Fill(assets.page, {{"TITLE", HtmlEscape(part + " · vexmor report")},
                            {"STYLE", std::string(assets.style)},
                            {"HEADING", HtmlEscape(part)},
                            {"SUBHEADING", HtmlEscape(subheading)},
                            {"CHECK", CheckCard(check)},
                            {"ANALYSES", analyses},
                            {"SUMMARY", ScriptSafe(summary.dump())},
                            {"MESH", Base64(data.bytes)},
                            {"THREE", std::string(assets.three)},
                            {"ORBIT_CONTROLS", std::string(assets.orbitControls)},
                            {"SCRIPT", std::string(assets.script)}});
}

}  // namespace vexmor::cli
