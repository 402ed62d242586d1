// Fixed tolerances of the geometry, measured in the normalised frame (longest extent 10000).
#pragma once

namespace vexmor {

// The smallest normal double: the zero-length test of normals and incircles.
inline constexpr double kDblMin = 2.2250738585072014e-308;
// Square root of the machine epsilon: near-zero normals, parallel normals, side tests and the
// whole segment-triangle intersection family.
inline constexpr double kSqrtEps = 1.4901161193847656e-08;
inline constexpr double kDblMax = 1.7976931348623157e308;

}  // namespace vexmor
