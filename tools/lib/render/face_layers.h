// What a picture or the HTML report colours the part by: one layer per analysis that ran, with
// a value per face of the file, the colour classes (the bins of the summary's histogram, so
// that a colour means the same range as the printed histogram), the thresholds that flag faces
// and which end of the scale is the bad one. Built from a command's Report, so that every
// subcommand gets pictures without knowing about them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/statistics.h"
#include "mesh/mesh.h"
#include "report/colour_map.h"
#include "report/report.h"

namespace vexmor::cli {

enum class ColourScale {
  kSequential,  // low to high along the perceptual map
  kDiverging,   // signed: blue below zero, orange above
};

struct FaceLayer {
  std::string key;                 // "thickness", "gradient", "draft" or "dihedral"
  std::string title;               // "Thickness, ray tracing"
  std::string unit;                // "mm", "file units", "deg" or "" (a ratio)
  std::string thresholds;          // what is flagged, in words; empty when nothing is
  std::vector<double> values;      // per face of the file; NaN where there is none
  std::vector<HistogramBin> bins;  // colour classes, low to high
  ColourScale scale = ColourScale::kSequential;
  // Flagged faces: below flagBelow, above flagAbove, or closer to zero than flagWithin.
  std::optional<double> flagBelow, flagAbove, flagWithin;
  // A threshold marked on the colour bar without flagging faces (the sharp-edge angle), and
  // its mirror below zero on a signed scale.
  std::optional<double> mark;
  std::string markLabel;
  std::string lowEnd, highEnd;  // what the ends of the scale mean
  bool lowBad = false, highBad = false;
  std::optional<Vec3> pull;  // the direction of the second view (draft); down z otherwise

  // -1 for a value without a colour class (NaN, or no bins).
  int binOf(double value) const;
  bool flagged(double value) const;
  Rgb binColour(size_t bin) const;
  // The face's colour: its class, kFlaggedColour when flagged, kNoValueColour without value.
  Rgb colourOf(double value) const;
  std::vector<Rgb> faceColours() const;
  size_t flaggedCount() const;
  bool flags() const { return flagBelow || flagAbove || flagWithin; }
  // A value as the colour bar labels it: rounding noise (1e-14 for 0) reads as 0.
  std::string label(double value) const;
};

// The layers of the analyses in `report` that give per-face values, in the order thickness,
// gradient, draft, dihedral. `lengthUnit` names the file's length unit ("mm" for the sample
// part). When no analysis gave per-face values, `why` says why (for the error message).
std::vector<FaceLayer> FaceLayersOf(const Report& report, const Mesh& mesh,
                                    const std::string& lengthUnit, std::string* why = nullptr);

// The part's name as a title shows it: the file name without its folders.
std::string PartName(const std::string& file);

}  // namespace vexmor::cli
