// The faces across the sides of every triangle of a mesh, listed once so that walks from face
// to face read one small table instead of the edge records.
#pragma once

#include <cstdint>

#include "mesh/large_array.h"

namespace vexmor {

struct SMesh;

// Entry 3 f + k is twice the index of the face across side k of triangle f (from its node k to
// its node k + 1, as the connectivity holds them now), plus 1 when that face runs the side the
// same way as f. Empty unless every face is a triangle of three distinct nodes, at position
// 4 f, and the edge list gives each side two distinct faces, the other one holding the side
// too: exactly the meshes on which a walk through the edge records finds, across each side,
// the one face this table names. The edge list must be built; faces turned since keep their
// edges' records valid for this. Faces are taken in connectivity order, so the edge records and
// the faces across, read a few faces ahead, mostly lie near those read just before.
LargeVector<int32_t> SidesAcross(const SMesh& mesh);

}  // namespace vexmor
