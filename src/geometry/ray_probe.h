// Rays marched through a mesh in straight steps; each step asks the ADT for the faces whose
// boxes meet the step's box and cuts their sub-triangles with the step segment.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mesh/face_ref.h"

namespace vexmor {

struct SMesh;

// Result of RayFirstHit when the step budget was used up without a hit.
inline constexpr double kRayOutOfSteps = -1.0;
// Result of RayFirstHit when a step left the bbox without a hit.
inline constexpr double kRayLeftBox = -2.0;

// Marches from p along -d in steps of h * d. Returns the distance from p to the nearest crossing
// within the first step that has any (writing that face to hit), kRayOutOfSteps when limited
// and maxSteps searches found nothing, or kRayLeftBox once a step lies wholly beyond a side of
// the bbox. The face at excludedPos (when >= 0) is ignored. Computes the bbox if needed; the
// ADT must be built.
double RayFirstHit(SMesh& mesh, int32_t excludedPos, const double p[3], const double d[3], double h,
                   FaceRef& hit, bool limited, int32_t maxSteps);

// Every face crossed by the ray from the incentre of the face at sourcePos, against its normal,
// until the ray leaves the bbox: in order of discovery, each face once, never the source face.
// The result is emptied first. The ADT must be built.
void RayCrossedFaces(SMesh& mesh, std::vector<FaceRef>& result, int32_t sourcePos);

// Mean length of the edges of the edge list, the step of the seed probes. With `outside` set,
// edges touching the last eight nodes (the enclosing box) are left out. 0 when no edge counts.
double MeanEdgeLength(const SMesh& mesh);

// A face on the outer hull of the mesh, found by probe rays from just outside the corners of
// the bbox and turned if needed so that its normal points outwards; nothing when no probe
// finds a face or the face cannot be turned. Builds the ADT, bbox and edge list if missing.
std::optional<FaceRef> OrientSeedFace(SMesh& mesh);

}  // namespace vexmor
