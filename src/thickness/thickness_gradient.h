// How fast the thickness changes around each face.
#pragma once

#include <cstdint>
#include <span>

namespace vexmor {

struct SMesh;

// Faces around one node that the gradient compares a face with, counting the face itself: a
// node with more faces around it contributes the first ones met turning from the face.
inline constexpr int32_t kGradientWalkCapacity = 1000;

// Writes, for every face i, the mean over the faces sharing at least one node with it (each
// counted once, face i excluded) of |thickness[g] - thickness[i]| / thickness[i]. A face whose
// own thickness is below FLT_EPSILON (zero, negative or NaN included) is compared with nothing
// and gets 0.0, as does a face without neighbours. Both arrays hold mesh.nbFaces values.
// Brings the edge list up to date first, unless the faces across each side can be listed.
void FThickGrad(SMesh& mesh, std::span<const double> thickness, std::span<double> gradient);

}  // namespace vexmor
