// How many faces the crossing probe from a face crosses, counted up to a limit, through the wall
// tree: the steps of the probe are looked at only where they pass the boxes of faces, instead of
// a range search per run of steps.
#pragma once

#include <cstdint>

namespace vexmor {

struct SMesh;
class WallTree;

// The smaller of limit and the number of faces that RayCrossedFaces lists for the face at
// sourcePos: the same march, the same faces listed by each step's search and the same crossing
// tests, so the same count; the probe stops at the limit. walls must index the mesh's current
// ADT. Computes bbox when needed.
int32_t CountCrossedFaces(SMesh& mesh, WallTree& walls, int32_t sourcePos, int32_t limit);

}  // namespace vexmor
