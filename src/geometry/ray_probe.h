// Rays marched through a mesh in straight steps; each step asks the ADT for the faces whose
// boxes meet the step's box and cuts their sub-triangles with the step segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "mesh/face_ref.h"

namespace vexmor {

struct SMesh;

// Result of RayFirstHit when the step budget was used up without a hit; also when the steps
// cannot progress (zero, not a number, or too short to cross the bbox within the march's step
// limit, ray_march.h), so that every march ends.
inline constexpr double kRayOutOfSteps = -1.0;
// Result of RayFirstHit when a step left the bbox without a hit.
inline constexpr double kRayLeftBox = -2.0;

// Marches from p along -d in steps of h * d. Returns the distance from p to the nearest crossing
// within the first step that has any (writing that face to hit), kRayOutOfSteps when limited
// and maxSteps searches found nothing, or kRayLeftBox once a step lies wholly beyond a side of
// the bbox. The face at excludedPos (when >= 0) is ignored. Every sub-triangle of a face is cut
// with the whole step; a step lying along an edge of a triangle crosses it where the step
// starts. Computes the bbox if needed, and builds the ADT if it is missing.
double RayFirstHit(SMesh& mesh, int32_t excludedPos, const double p[3], const double d[3], double h,
                   FaceRef& hit, bool limited, int32_t maxSteps);

// Every face crossed by the ray from the incentre of the face at sourcePos, against its normal,
// until the ray leaves the bbox: in order of discovery, each face once, never the source face.
// The step is the unit normal times the inradius, both of the source's last sub-triangle. The
// result is emptied first; a source without a sub-triangle gives an empty list, and steps that
// cannot progress end the march with the faces found so far. With maxFaces, the march stops as
// soon as that many faces are listed: the result is then the first maxFaces faces of the whole
// list (all of it when shorter). Builds the ADT if it is missing.
//
// Within one step the faces come in the order of the ADT's search, not along the ray. With
// listedOutOfOrder given, it is set when some step listed a face after another one although
// the ray crosses it nearer the start: the list is then not in the order of the ray.
void RayCrossedFaces(SMesh& mesh, std::vector<FaceRef>& result, int32_t sourcePos,
                     size_t maxFaces = std::numeric_limits<size_t>::max(),
                     bool* listedOutOfOrder = nullptr);

// Where the probe of RayCrossedFaces from the face at sourcePos starts and how it steps: the
// incentre of the face's last sub-triangle, and its unit normal times its inradius (the march
// goes against it). False, leaving both untouched, when the face has no sub-triangle.
bool CrossingProbeSteps(const SMesh& mesh, int32_t sourcePos, double start[3], double step[3]);

// Mean length of the edges of the edge list, the step of the seed probes. With `outside` set,
// edges touching the last eight nodes (the enclosing box) are left out, unless that leaves no
// edge (a part of eight nodes or fewer, before any box is added). 0 when no edge counts.
double MeanEdgeLength(const SMesh& mesh);

// A face on the outer hull of the mesh, found by probe rays from just outside the corners of
// the bbox and turned if needed so that its normal points outwards; nothing when no probe
// finds a face or the face cannot be turned. Builds the ADT, bbox and edge list if missing.
std::optional<FaceRef> OrientSeedFace(SMesh& mesh);

}  // namespace vexmor
