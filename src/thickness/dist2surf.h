// Distance-to-surface thickness: the distance from every node to the nearest point of any face.
#pragma once

#include <cstdint>
#include <span>

namespace vexmor {

struct SMesh;

// Writes to nodeThickness[i] the distance from node i to the surface formed by the faces, in
// the normalised frame. A face of n >= 3 nodes is measured as its n - 2 strip triangles (nodes
// k, k + 1, k + 2); smaller faces are never measured. A cube around each node is grown, then
// narrowed by bisection, until the nearest face met lies within it, so the value is exact
// except after five searches, when it is the nearest distance met (an upper bound). A mesh
// without any measurable face gives every node +infinity. Builds the ADT and bbox if missing;
// writes at most nodeThickness.size() values.
void Dist2Surf(SMesh& mesh, std::span<double> nodeThickness);

}  // namespace vexmor
