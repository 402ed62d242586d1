#include "report/colour_map.h"

#include <algorithm>
#include <cmath>

namespace vexmor::cli {
namespace {

struct Lch {
  double l, c, h;  // Oklab lightness, chroma, hue in degrees
};

constexpr Lch kStops[] = {
    {0.28, 0.12, 305}, {0.45, 0.12, 265}, {0.60, 0.10, 205}, {0.76, 0.15, 145}, {0.94, 0.18, 105},
};

// The diverging map's stops from -1 to 1: lightness falls evenly away from zero on both sides.
constexpr Lch kDivergingStops[] = {
    {0.38, 0.13, 262}, {0.66, 0.09, 250}, {0.96, 0.0, 250}, {0.74, 0.12, 65}, {0.50, 0.12, 50},
};

double ToSrgb(double linear) {
  linear = std::clamp(linear, 0.0, 1.0);
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

template <size_t kCount>
Rgb Interpolate(const Lch (&stops)[kCount], double t) {
  if (!(t >= 0)) t = 0;
  t = std::min(t, 1.0);
  constexpr int kSegments = kCount - 1;
  const double at = t * kSegments;
  const int i = std::min(static_cast<int>(at), kSegments - 1);
  const double u = at - i;
  const Lch& p = stops[i];
  const Lch& q = stops[i + 1];
  const double l = p.l + (q.l - p.l) * u, c = p.c + (q.c - p.c) * u;
  const double h = (p.h + (q.h - p.h) * u) * 3.141592653589793 / 180;
  const double a = c * std::cos(h), b = c * std::sin(h);
  // Oklab to linear sRGB.
  const double l1 = std::pow(l + 0.3963377774 * a + 0.2158037573 * b, 3);
  const double m1 = std::pow(l - 0.1055613458 * a - 0.0638541728 * b, 3);
  const double s1 = std::pow(l - 0.0894841775 * a - 1.2914855480 * b, 3);
  const double rgb[3] = {4.0767416621 * l1 - 3.3077115913 * m1 + 0.2309699292 * s1,
                         -1.2684380046 * l1 + 2.6097574011 * m1 - 0.3413193965 * s1,
                         -0.0041960863 * l1 - 0.7034186147 * m1 + 1.7076147010 * s1};
  Rgb out;
  for (int k = 0; k < 3; ++k)
    out[k] = static_cast<uint8_t>(std::lround(ToSrgb(rgb[k]) * 255));
  return out;
}

}  // namespace

Rgb ColourAt(double t) {
  return Interpolate(kStops, t);
}

Rgb DivergingColourAt(double t) {
  return Interpolate(kDivergingStops, (t + 1) / 2);
}

}  // namespace vexmor::cli
