// The faces across the sides of a face, each turned to run along the shared side opposite to
// the given face: the step by which one face's winding spreads over a connected surface.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/face_ref.h"

namespace vexmor {

struct SMesh;

// Fills result (emptied first) with the face across each side of the face at facePos, in side
// order, turning each neighbour that runs along the side the same way as the given face.
// Returns false, with result emptied, when a side lies on an edge that is not shared by
// exactly two faces, when a neighbour that needs turning is neither a triangle nor a
// quadrilateral, or when the face has no node. Turns made before a failure stay made. A side
// that the edge list does not know is skipped. The edge list must be built.
bool FaceNeighbours_1Ring(SMesh& mesh, int32_t facePos, std::vector<FaceRef>& result);

// The same, as a new list; an empty list means failure or a face without nodes.
std::vector<FaceRef> FaceNeighbours_1Ring(SMesh& mesh, int32_t facePos);

// Makes the face at neighbourPos run along the side (a, b) as (b, a), turning it if it runs
// (a, b) or does not hold a. Returns true when it would need turning but is neither a triangle
// nor a quadrilateral (nothing changes then), false otherwise.
bool OrientNeighbour(SMesh& mesh, int32_t a, int32_t b, int32_t neighbourPos);

}  // namespace vexmor
