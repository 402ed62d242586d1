// What the values of a face thickness method say, item by item (faces of the file, or the
// refined pieces): a measured wall, no wall found (missing, not zero), only the enclosing box
// in sight (--outside: no clearance to the part itself), or a sphere that touches the wall all
// around a curve (contact: the contact distance is then a chord, not a thickness). Only
// measured values enter the statistics; the others are counted apart.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexmor::cli {

enum class ThicknessKind : uint8_t { kMeasured, kNoWall, kOpenToBox, kAroundCurve };

struct ItemCount {
  size_t count = 0;
  double area = 0;
};

struct ClassifiedThickness {
  std::vector<double> measured;  // the value where measured, NaN elsewhere
  std::vector<ThicknessKind> kind;
  ItemCount noWall, openToBox, aroundCurve;
  double totalArea = 0;
};

// `values` as the library gives them (0 where no wall was found, negative against the
// enclosing box with --outside), one per item with its area; `diameters`, for the contact
// method, the sphere diameter of each item (empty otherwise): an item whose contact distance
// is below half its diameter touches around a curve.
ClassifiedThickness ClassifyThickness(std::span<const double> values, std::span<const double> areas,
                                      std::span<const double> diameters, bool outside);

// The lines that count the items left out of the statistics, each with its share of the area.
std::vector<std::string> LeftOutLines(const ClassifiedThickness& c, const std::string& items);

// Per face of the file, the share of its area whose items are of the given kind, from the
// file face of each item.
std::vector<double> ShareOfKind(const ClassifiedThickness& c, std::span<const double> areas,
                                std::span<const uint32_t> face, size_t faceCount,
                                ThicknessKind kind);

}  // namespace vexmor::cli
