// The two ways of turning a vector into a unit vector.
#pragma once

#include "geometry/tolerances.h"
#include "geometry/vec3.h"

namespace vexmor {

// Divides v by its length. Returns true, leaving v unchanged, when the length is below the
// smallest normal double and no direction can be recovered.
inline bool Normalize(double v[3]) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len < kDblMin) return true;
  v[0] /= len;
  v[1] /= len;
  v[2] /= len;
  return false;
}

// Divides v by its length, or replaces it by (1, 0, 0) and returns true when its length is
// below sqrt(machine epsilon): callers that need some unit vector get a defined one.
inline bool NormalizeOrDefault(double v[3]) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len < kSqrtEps) {
    v[0] = 1.0;
    v[1] = 0.0;
    v[2] = 0.0;
    return true;
  }
  v[0] /= len;
  v[1] /= len;
  v[2] /= len;
  return false;
}

}  // namespace vexmor
