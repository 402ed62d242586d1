// The program's colour maps. ColourAt: a perceptual map from deep violet through blue, teal and
// green to yellow: lightness rises evenly along it (it is laid out in the Oklab space), so equal
// steps in value look like equal steps in colour, and it reads correctly in grey and for most
// colour-blind eyes. DivergingColourAt: for signed values, blue below zero and orange above,
// equally dark at equal distances from a light neutral zero. Neither map holds red, which marks
// the faces that a threshold flags (kFlaggedColour).
#pragma once

#include <array>
#include <cstdint>

namespace vexmor::cli {

using Rgb = std::array<uint8_t, 3>;

// t in [0, 1]; values outside are clamped.
Rgb ColourAt(double t);
// t in [-1, 1]: -1 deep blue, 0 light neutral, 1 deep orange; values outside are clamped.
Rgb DivergingColourAt(double t);

// Faces outside the thresholds, and faces without a value.
constexpr Rgb kFlaggedColour = {228, 26, 28};
constexpr Rgb kNoValueColour = {170, 170, 170};

}  // namespace vexmor::cli
