// A perceptual colour map from deep violet through blue, teal and green to yellow: lightness
// rises evenly along it (it is laid out in the Oklab space), so equal steps in value look like
// equal steps in colour, and it reads correctly in grey and for most colour-blind eyes.
#pragma once

#include <array>
#include <cstdint>

namespace vexmor::cli {

using Rgb = std::array<uint8_t, 3>;

// t in [0, 1]; values outside are clamped.
Rgb ColourAt(double t);

}  // namespace vexmor::cli
