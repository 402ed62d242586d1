#include "commands/thickness_values.h"

#include <cmath>
#include <limits>

#include "report/report.h"

namespace vexmor::cli {

ClassifiedThickness ClassifyThickness(std::span<const double> values, std::span<const double> areas,
                                      std::span<const double> diameters, bool outside) {
  ClassifiedThickness c;
  c.measured.assign(values.size(), std::numeric_limits<double>::quiet_NaN());
  c.kind.assign(values.size(), ThicknessKind::kMeasured);
  for (size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    const double area = i < areas.size() ? areas[i] : 0.0;
    c.totalArea += area;
    ThicknessKind kind = ThicknessKind::kMeasured;
    if (!std::isfinite(v) || v == 0) {
      kind = ThicknessKind::kNoWall;
    } else if (outside && v < 0) {
      kind = ThicknessKind::kOpenToBox;
    } else if (i < diameters.size() && std::isfinite(diameters[i]) && diameters[i] != 0 &&
               v < 0.5 * std::fabs(diameters[i])) {
      kind = ThicknessKind::kAroundCurve;
    }
    c.kind[i] = kind;
    ItemCount* count = kind == ThicknessKind::kNoWall        ? &c.noWall
                       : kind == ThicknessKind::kOpenToBox   ? &c.openToBox
                       : kind == ThicknessKind::kAroundCurve ? &c.aroundCurve
                                                             : nullptr;
    if (count == nullptr) {
      c.measured[i] = v;
    } else {
      ++count->count;
      count->area += area;
    }
  }
  return c;
}

std::vector<std::string> LeftOutLines(const ClassifiedThickness& c, const std::string& items) {
  auto counted = [&](const ItemCount& n) {
    return FormatCount(n.count) + " " + items + " (" +
           FormatPercent(c.totalArea > 0 ? n.area / c.totalArea : 0.0) + " of the area)";
  };
  std::vector<std::string> lines;
  if (c.noWall.count > 0) {
    lines.push_back("no wall found: " + counted(c.noWall) +
                    " without a value (missing, not zero; left out above)");
  }
  if (c.openToBox.count > 0) {
    lines.push_back("open to the box: " + counted(c.openToBox) +
                    " see no other part of the part, only the enclosing box (left out above, "
                    "which shows the part's own clearances)");
  }
  if (c.aroundCurve.count > 0) {
    lines.push_back("touching around a curve: " + counted(c.aroundCurve) +
                    " whose contact distance is below half their sphere diameter: the sphere "
                    "touches the wall all around there and the contact distance is a chord, not "
                    "a thickness (left out above, not reported as thin; --method sphere "
                    "measures them)");
  }
  return lines;
}

std::vector<double> ShareOfKind(const ClassifiedThickness& c, std::span<const double> areas,
                                std::span<const uint32_t> face, size_t faceCount,
                                ThicknessKind kind) {
  std::vector<double> of(faceCount, 0.0), total(faceCount, 0.0);
  for (size_t i = 0; i < c.kind.size() && i < face.size() && i < areas.size(); ++i) {
    total[face[i]] += areas[i];
    if (c.kind[i] == kind) of[face[i]] += areas[i];
  }
  for (size_t f = 0; f < faceCount; ++f)
    of[f] = total[f] > 0 ? of[f] / total[f] : 0.0;
  return of;
}

}  // namespace vexmor::cli
