// Marching a ray through the ADT in fixed steps, as a search per step would, without paying a
// search per step through empty space.
#pragma once

#include <cstdint>
#include <limits>
#include <span>

#include "geometry/adt_search.h"
#include "geometry/march_steps.h"

namespace vexmor {

struct SMesh;

// Told about every step whose search finds faces that the step segment may cross.
class MarchVisitor {
 public:
  // faces: in search order, every face that the search of the step's box lists, less faces
  // that no sub-triangle of lets the step segment prev -> cur cross. Returns true to stop.
  virtual bool Visit(const double prev[3], const double cur[3],
                     std::span<const AdtReach> faces) = 0;

 protected:
  ~MarchVisitor() = default;
};

// The march's step limit: a step so short that the march would need more steps than this is
// treated as one that cannot finish, and the march ends after this many steps.
inline constexpr int64_t kMaxMarchSteps = int64_t{1} << 24;

// Steps from start: prev = cur, cur = prev - step, while no end is met. Each step in turn: it
// ends the march with kLeftBox when both prev and cur lie below the bbox minimum, or both above
// its maximum, on some axis; with kOutOfSteps when maxSearches steps have been searched (or
// kMaxMarchSteps taken); otherwise its box (the range (bbox min, min(prev, cur)) to
// (max(prev, cur), bbox max)) is searched. The visitor sees exactly the faces of the steps that
// one search per step would give, step by step in order. The mesh's bbox and ADT must exist.
MarchEnd MarchRay(const SMesh& mesh, const double start[3], const double step[3],
                  int64_t maxSearches, MarchVisitor& visitor);

// Whether the plane of the triangle (nine doubles), or its line when its normal comes out
// exactly zero, lies so far from the box [lo, hi] that no segment between two points of the
// box, no longer than about stepLength, is reported crossing the triangle by
// SegmentTriangleIntersect. False whenever that cannot be shown safely.
bool PlaneClearOfBox(const double* tri, const double lo[3], const double hi[3], double stepLength);

inline constexpr int64_t kUnlimitedSearches = std::numeric_limits<int64_t>::max();

}  // namespace vexmor
