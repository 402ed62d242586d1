// The walls that the successive spheres of one refinement may touch, searched for once and read
// step after step.
//
// The spheres that a refinement places at one tangent point P lie on the same side of P, their
// centres S = P - sr N on one ray, and the nearest wall moves little from one step to the next.
// A search of the wall tree around one centre therefore keeps every wall a little farther than
// the nearest one, and the following steps read this short list instead of the tree: a wall
// missing from it lies farther from their own centre than the list's reach less the distance
// between the centres, so a step whose nearest wall in the list is nearer than that, or whose
// bound stops short of it, has its answer. Otherwise the step searches the tree again, around
// its own centre. Each step still measures exactly the walls that its own cube's range search
// lists and that its bound does not rule out.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/adt_search.h"

namespace vexmor {

struct SMesh;
class WallTree;
struct WallFace;

// The nearest wall of one pass of the sphere step, with what the step needs to know about it.
struct SphereWall {
  bool found = false;
  int32_t faceIndex = -1;
  int32_t rank = 0;
  double d = 0.0;     // distance from the sphere's centre S to the wall
  double e = 0.0;     // distance from the tangent point P to the wall's closest point Q
  double cosA = 0.0;  // cosine of the angle at P between P->S and P->Q
  double q[3] = {0.0, 0.0, 0.0};
};

class SphereWalls {
 public:
  // Searches `walls`, which must outlive this object.
  explicit SphereWalls(WallTree& walls) : walls_(walls) {}

  // Nearest wall to S among the faces of the cube of half-width sr around S = P - sr N: face f,
  // walls facing like N (within 30 degrees) and walls farther than R + 1e-5 are left out, and
  // only walls nearer than `nearerThan` count. Ties in distance go to the face that the cube's
  // range search lists first, so the answer is the one that scanning that whole list in order
  // would give. The bbox of the mesh must be computed and its ADT built.
  SphereWall Nearest(SMesh& mesh, int32_t f, double R, double sr, const double N[3],
                     const double P[3], const double S[3], double nearerThan);

 private:
  // A wall of the list, with what bounds from below the distance that ClosestPointOnTriangle
  // measures to it from a centre S' within spread_ of centre_: lower - |S' - centre_|, and,
  // as the distance to a triangle is convex, lower + toward . (S' - centre_) - slack *
  // |S' - centre_|. The list is sorted by lower.
  struct Candidate {
    double lower;
    double toward[3];  // the unit vector from the wall's closest point to centre_
    double slack;      // how much the rounding of that point may tilt toward, per unit moved
    const WallFace* face;
    const AdtReach* reach;
  };
  class Selection;

  // Whether the list was gathered at this tangent point, around a centre within spread_ of S,
  // in a range holding `range`.
  bool Serves(int32_t f, const double N[3], const double P[3], const double S[3],
              const AdtRangeF& range) const;
  // Searches the tree around S for the walls that this step and the next ones may choose.
  void Gather(SMesh& mesh, int32_t f, double sr, const double N[3], const double P[3],
              const double S[3], const AdtRangeF& range, const Selection& step);
  // The step from the list; false when a wall missing from it might be the answer.
  bool Scan(const AdtRangeF& range, Selection& nearest);

  WallTree& walls_;
  bool gathered_ = false;
  int32_t face_ = -1;
  double normal_[3] = {0.0, 0.0, 0.0};
  double tangent_[3] = {0.0, 0.0, 0.0};
  double centre_[3] = {0.0, 0.0, 0.0};
  double spread_ = 0.0;  // how far later centres may lie from centre_
  double reach_ = 0.0;   // every wall listed for range_ within this of centre_ is in the list
  AdtRangeF range_{};
  std::vector<Candidate> candidates_;
  int32_t chosen_ = -1;  // the candidate that the last step chose, or -1
};

}  // namespace vexmor
