#include "render/face_layers.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/library_calls.h"

namespace vexmor::cli {
namespace {

constexpr double kNoLayerValue = std::numeric_limits<double>::quiet_NaN();

const Field* FindField(const Results& results, auto&& matches) {
  for (const Field& f : results.fields) {
    if (matches(f)) return &f;
  }
  return nullptr;
}

const Section* FindSection(const Report& report, const std::string& key) {
  for (const Section& s : report.sections) {
    if (s.key == key) return &s;
  }
  return nullptr;
}

std::vector<HistogramBin> BinsOf(const nlohmann::json& values) {
  std::vector<HistogramBin> bins;
  if (!values.contains("histogram")) return bins;
  for (const auto& b : values["histogram"]) {
    HistogramBin bin;
    bin.from = b.value("from", 0.0);
    bin.to = b.value("to", 0.0);
    bin.count = b.value("count", size_t{0});
    bin.share = b.value("share", 0.0);
    bin.tail = b.value("tail", false);
    bins.push_back(bin);
  }
  return bins;
}

std::optional<double> LimitOf(const nlohmann::json& values, const char* key) {
  if (!values.contains(key)) return std::nullopt;
  return values[key].value("limit", 0.0);
}

// The value of larger magnitude, keeping its sign; NaN loses to any number.
double Stronger(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return std::fabs(b) > std::fabs(a) ? b : a;
}

// Per face, the strongest value of the face's edges (the file's edges, as the dihedral field
// lists them by their two nodes). An open-addressing table keyed by the node pair keeps this
// linear in the face count.
std::vector<double> FaceValuesFromEdges(const Mesh& mesh, const std::vector<int32_t>& edgeNodes,
                                        const std::vector<double>& values) {
  const size_t edges = values.size();
  size_t capacity = 16;
  while (capacity < 2 * edges)
    capacity *= 2;
  std::vector<uint64_t> keys(capacity, ~uint64_t{0});
  std::vector<uint32_t> slots(capacity, 0);
  auto keyOf = [](int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
  };
  auto slotOf = [&](uint64_t key) {
    size_t h = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (capacity - 1);
    while (keys[h] != ~uint64_t{0} && keys[h] != key)
      h = (h + 1) & (capacity - 1);
    return h;
  };
  for (size_t e = 0; e < edges; ++e) {
    const size_t h = slotOf(keyOf(edgeNodes[2 * e], edgeNodes[2 * e + 1]));
    keys[h] = keyOf(edgeNodes[2 * e], edgeNodes[2 * e + 1]);
    slots[h] = static_cast<uint32_t>(e);
  }
  std::vector<double> out(mesh.faceCount(), kNoLayerValue);
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    for (size_t k = 0; k < nodes.size(); ++k) {
      const uint64_t key = keyOf(nodes[k], nodes[(k + 1) % nodes.size()]);
      const size_t h = slotOf(key);
      if (keys[h] == key) out[f] = Stronger(out[f], values[slots[h]]);
    }
  }
  return out;
}

std::vector<double> FaceValuesFromNodes(const Mesh& mesh, const std::vector<double>& values) {
  std::vector<double> out(mesh.faceCount(), kNoLayerValue);
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    for (int32_t n : mesh.face(f)) {
      if (static_cast<size_t>(n) < values.size()) out[f] = Stronger(out[f], values[n]);
    }
  }
  return out;
}

std::string MethodDescriptionOf(const std::string& name) {
  for (ThicknessMethod m : {ThicknessMethod::kRay, ThicknessMethod::kSphere,
                            ThicknessMethod::kContact, ThicknessMethod::kDistance}) {
    if (name == MethodName(m)) return MethodDescription(m);
  }
  return name;
}

}  // namespace

int FaceLayer::binOf(double value) const {
  if (!std::isfinite(value) || bins.empty()) return -1;
  // As the summary's histogram counts: a tail bin takes the values strictly beyond the middle
  // bins, which share their span equally.
  const bool lowTail = bins.size() > 1 && bins.front().tail;
  const bool highTail = bins.size() > 1 && bins.back().tail;
  if (lowTail && value < bins.front().to) return 0;
  if (highTail && value > bins.back().from) return static_cast<int>(bins.size()) - 1;
  const int first = lowTail ? 1 : 0;
  const int n = static_cast<int>(bins.size()) - first - (highTail ? 1 : 0);
  const double lo = bins[first].from, hi = bins[first + n - 1].to;
  const double width = (hi - lo) / n;
  // Clamped before the conversion, which a value far outside the bins would overflow.
  const double at = width > 0 ? std::clamp((value - lo) / width, 0.0, n - 1.0) : 0;
  return static_cast<int>(at) + first;
}

bool FaceLayer::flagged(double value) const {
  if (!std::isfinite(value)) return false;
  return (flagBelow && value < *flagBelow) || (flagAbove && value > *flagAbove) ||
         (flagWithin && std::fabs(value) < *flagWithin);
}

Rgb FaceLayer::binColour(size_t bin) const {
  if (scale == ColourScale::kDiverging) {
    double reach = 0;
    for (const auto& b : bins)
      reach = std::max({reach, std::fabs(b.from), std::fabs(b.to)});
    const double mid = (bins[bin].from + bins[bin].to) / 2;
    return DivergingColourAt(reach > 0 ? mid / reach : 0);
  }
  return ColourAt(bins.size() > 1 ? static_cast<double>(bin) / (bins.size() - 1) : 0.5);
}

Rgb FaceLayer::colourOf(double value) const {
  if (flagged(value)) return kFlaggedColour;
  const int bin = binOf(value);
  return bin < 0 ? kNoValueColour : binColour(static_cast<size_t>(bin));
}

std::vector<Rgb> FaceLayer::faceColours() const {
  std::vector<Rgb> palette(bins.size());
  for (size_t b = 0; b < bins.size(); ++b)
    palette[b] = binColour(b);
  std::vector<Rgb> out(values.size());
  for (size_t f = 0; f < values.size(); ++f) {
    const int bin = binOf(values[f]);
    out[f] = flagged(values[f]) ? kFlaggedColour
             : bin < 0          ? kNoValueColour
                                : palette[static_cast<size_t>(bin)];
  }
  return out;
}

std::string FaceLayer::label(double value) const {
  double reach = 0;
  for (const auto& b : bins)
    reach = std::max({reach, std::fabs(b.from), std::fabs(b.to)});
  return FormatValue(std::fabs(value) < 1e-6 * reach ? 0.0 : value);
}

size_t FaceLayer::flaggedCount() const {
  return static_cast<size_t>(
      std::count_if(values.begin(), values.end(), [&](double v) { return flagged(v); }));
}

std::vector<FaceLayer> FaceLayersOf(const Report& report, const Mesh& mesh,
                                    const std::string& lengthUnit, std::string* why) {
  std::vector<FaceLayer> layers;
  const Results& results = report.results;
  const size_t faces = mesh.faceCount();
  auto faceField = [&](auto&& matches) {
    return FindField(results, [&](const Field& f) {
      return f.location == Location::kFace && f.values.size() == faces && matches(f.name);
    });
  };

  if (const Section* s = FindSection(report, "thickness")) {
    const Field* f = faceField([](const std::string& name) {
      return name.rfind("thickness_", 0) == 0 && name != "thickness_gradient";
    });
    if (f != nullptr) {
      FaceLayer layer;
      layer.key = "thickness";
      const bool outside = s->json.value("outside", false);
      layer.title = std::string(outside ? "Space around the part" : "Thickness") + ", " +
                    MethodDescriptionOf(s->json.value("method", "ray"));
      layer.unit = lengthUnit;
      layer.values = f->values;
      const auto& values = s->json["values"];
      layer.bins = BinsOf(values);
      layer.flagBelow = LimitOf(values, "below_min");
      layer.flagAbove = LimitOf(values, "above_max");
      std::vector<std::string> parts;
      if (layer.flagBelow)
        parts.push_back("thinner than " + WithUnit(*layer.flagBelow, layer.unit));
      if (layer.flagAbove)
        parts.push_back("thicker than " + WithUnit(*layer.flagAbove, layer.unit));
      if (!parts.empty()) {
        layer.thresholds = "flagged: " + parts[0] + (parts.size() > 1 ? ", " + parts[1] : "");
      }
      layer.lowEnd = "thin";
      layer.highEnd = "thick";
      // Thin walls fill badly and break; thick ones only when a maximum says so.
      layer.lowBad = true;
      layer.highBad = layer.flagAbove.has_value();
      layers.push_back(std::move(layer));
    } else if (why != nullptr) {
      *why = "the distance method measures points, not faces";
    }
  }

  if (const Section* s = FindSection(report, "gradient")) {
    if (const Field* f =
            faceField([](const std::string& n) { return n == "thickness_gradient"; })) {
      FaceLayer layer;
      layer.key = "gradient";
      layer.title = "Thickness gradient";
      layer.values = f->values;
      const auto& values = s->json["values"];
      layer.bins = BinsOf(values);
      layer.flagAbove = LimitOf(values, "above_max");
      if (layer.flagAbove) layer.thresholds = "flagged: above " + FormatValue(*layer.flagAbove);
      layer.lowEnd = "even";
      layer.highEnd = "abrupt change";
      layer.highBad = true;
      layers.push_back(std::move(layer));
    }
  }

  if (const Section* s = FindSection(report, "draft")) {
    if (const Field* f = faceField([](const std::string& n) { return n == "draft_deg"; })) {
      FaceLayer layer;
      layer.key = "draft";
      layer.title = "Draft";
      layer.unit = "deg";
      layer.values = f->values;
      layer.bins = BinsOf(s->json["values"]);
      layer.scale = ColourScale::kDiverging;
      const double minDraft = s->json.value("min_draft_deg", 1.0);
      if (minDraft > 0) {
        layer.flagWithin = minDraft;
        layer.thresholds = "flagged: needs draft (under " + FormatValue(minDraft) + " deg)";
      }
      if (s->json.contains("pull")) {
        const auto& p = s->json["pull"];
        layer.pull = Vec3{p[0].get<double>(), p[1].get<double>(), p[2].get<double>()};
      }
      layer.lowEnd = "against the pull";
      layer.highEnd = "releases";
      layer.lowBad = true;
      layers.push_back(std::move(layer));
    }
  }

  if (const Section* s = FindSection(report, "dihedral")) {
    const bool isSigned = s->json.value("signed", false);
    const Field* edges = FindField(results, [&](const Field& f) {
      return f.location == Location::kEdge && f.name.rfind("dihedral", 0) == 0 &&
             results.edgeNodes.size() == 2 * f.values.size();
    });
    const Field* nodes = FindField(results, [&](const Field& f) {
      return f.location == Location::kNode && f.name.rfind("dihedral", 0) == 0 &&
             f.values.size() == mesh.nodeCount();
    });
    if (edges != nullptr || nodes != nullptr) {
      FaceLayer layer;
      layer.key = "dihedral";
      layer.title = std::string("Dihedral angle") + (isSigned ? ", signed" : "") +
                    ", strongest edge of each face";
      layer.unit = "deg";
      layer.values = edges != nullptr ? FaceValuesFromEdges(mesh, results.edgeNodes, edges->values)
                                      : FaceValuesFromNodes(mesh, nodes->values);
      layer.bins = BinsOf(s->json["values"]);
      layer.scale = isSigned ? ColourScale::kDiverging : ColourScale::kSequential;
      layer.mark = s->json.value("sharp_deg", 30.0);
      layer.markLabel = "sharp";
      layer.thresholds = "sharp from " + FormatValue(*layer.mark) + " deg";
      layer.lowEnd = isSigned ? "concave" : "smooth";
      layer.highEnd = isSigned ? "convex" : "sharp";
      // Sharp inner corners concentrate stress; unsigned, any sharp edge is the concern.
      layer.lowBad = isSigned;
      layer.highBad = !isSigned;
      layers.push_back(std::move(layer));
    }
  }
  if (layers.empty() && why != nullptr && why->empty()) {
    *why = "no analysis gave values per face";
  }
  return layers;
}

std::string PartName(const std::string& file) {
  const size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

}  // namespace vexmor::cli
