// One triangle's rolling sphere: the largest sphere tangent to the triangle at a point, on the
// inside of the material, that reaches no facing wall.
#pragma once

#include <cstdint>

namespace vexmor {

struct SMesh;
class SphereWalls;

// Walls facing the same way as the measured triangle within 30 degrees are never candidates.
inline constexpr double kFacingCosine = 0.8660254037844387;
// A wall farther than the requested radius by more than this still counts.
inline constexpr double kWallDistanceTolerance = 1e-5;
// The sphere placed is this much larger than the requested radius.
inline constexpr double kRadiusInflation = 1.00001;
// A nearest wall point within this cosine band of straight below the tangent point, nearer than
// the sphere's radius, means the sphere reaches through that wall.
inline constexpr double kInversionCosineBand = 0.1;
// The refinement stops once a proposal improves on the radius by no more than this fraction.
inline constexpr double kRefineRelativeChange = 0.001;
// Nesting depth of the refinement; past it the deepest level goes on iterating by itself.
inline constexpr uint32_t kRefineMaxLevel = 200;
// Steps that one refinement may take. Each accepted step shrinks the radius by more than
// 0.1 %, so this only ends refinements that would creep towards zero on a self-intersecting
// surface.
inline constexpr int32_t kRefineMaxSteps = 10000;

// One sphere step. Places the sphere of radius 1.00001 * searchRadius tangent at P on the -N
// side (N the triangle's unit normal, P its incircle centre) and looks, among the faces whose
// boxes meet the cube around its centre S (face f excluded), for the nearest wall that does not
// face the same way within 30 degrees and lies no farther than searchRadius + 1e-5 from S.
//
// rmini must hold mesh.halfDiag on entry (nothing found yet). When a wall nearer than the entry
// value is found, fmin and ptmin receive the wall's face index and closest point. If that point
// lies nearly straight below P and within the sphere, the sphere reaches through the wall: fmin
// becomes -1 and a second pass with a sphere reaching half as deep is made. Returns true with
// the proposed radius in rmini; false, with rmini, fmin and ptmin untouched, when no wall is
// found. The nearest wall is read from the walls gathered for an earlier step of the same
// refinement when they cover this one (SphereWalls), but is the one that scanning the whole
// cube in the range search's order would keep, ties included. Computes bbox when needed; the
// ADT must be built and indexed by walls.
bool FaceThickness(SMesh& mesh, SphereWalls& walls, int32_t f, double searchRadius,
                   const double N[3], const double P[3], double ptmin[3], double& rmini,
                   int32_t& fmin);

// Counters shared by all nesting levels of one refinement; set level 1 and stop 0 before it.
struct RefineState {
  uint32_t level = 1;
  uint8_t stop = 0;
  int32_t stepsLeft = kRefineMaxSteps;
};

// Repeats the sphere step from R while each proposal is smaller than the radius by more than
// 0.1 % of it, replacing the radius by the proposal. Returns, and leaves in R, the last radius
// given to a step (not that step's proposal). Sets state.stop on a failed step, on a proposal
// that does not improve enough, and when the step budget is used up. ptmin and fmin carry the
// last wall that improved on a step's entry value.
double SphereRefine(SMesh& mesh, SphereWalls& walls, int32_t f, double& R, const double N[3],
                    const double P[3], double ptmin[3], int32_t& fmin, RefineState& state);

}  // namespace vexmor
