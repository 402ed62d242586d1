// The points of a ray march, p(0) = start and p(j + 1) = p(j) - step rounded coordinate by
// coordinate, at any index j without making the j subtractions: a probe can then look at the
// steps near the faces it passes and skip the others, with the very points that marching step
// after step computes.
#pragma once

#include <cstdint>

namespace vexmor {

// x after n rounded subtractions x = x - s. Exact for every x, s and n >= 0: within one binade
// the rounded subtractions drop by the same amount every time (once a tie, if s falls on one,
// has settled the parity), so such runs are jumped over and only the steps that cross a binade
// are made one by one.
double AdvanceCoordinate(double x, double s, int64_t n);

// How a march ends.
enum class MarchEnd {
  kLeftBox,     // a step lay wholly beyond one side of the bbox
  kOutOfSteps,  // the search budget, or the march's step limit, was used up
  kStalled,     // the steps stopped moving: every further step would repeat the last one
  kStopped,     // the visitor asked to stop
};

// The steps a march searches, and how it ends after them.
struct MarchLength {
  int64_t searched = 0;
  MarchEnd end = MarchEnd::kLeftBox;
};

// The points of one march, each coordinate a sequence of AdvanceCoordinate. With a finite start
// and step every coordinate is monotonic in j (rounding keeps order), which makes the tests of
// the march (leaving the box, stalling, a face's box being met) change value at most once
// after the first step.
class MarchSteps {
 public:
  MarchSteps(const double start[3], const double step[3]);

  // Whether start and step are finite: the other members assume it.
  bool Finite() const { return finite_; }
  const double* Start() const { return start_; }
  const double* Step() const { return step_; }

  // Coordinate k of point j.
  double Coordinate(int k, int64_t j) const { return AdvanceCoordinate(start_[k], step_[k], j); }
  void Point(int64_t j, double p[3]) const;

  // How many steps a march searches and how it ends (ray_march.h), looking at each step in
  // turn: the first step that lies wholly beyond one side of bbox ends it unsearched; then,
  // once maxSteps steps are searched, the next ends it; a step that no longer moves is
  // searched and ends it. Requires Finite().
  MarchLength Length(const double bbox[6], int64_t maxSteps) const;

 private:
  double start_[3];
  double step_[3];
  bool finite_;
};

// The first j in [from, to) at which pred(j) holds, for a predicate that is false and then
// true on that range; `to` when it never holds. hint is a guess of the answer: it is looked at
// first, then steps of doubling length away from it, then a bisection.
template <class Pred>
int64_t FirstIndexWhere(int64_t from, int64_t to, int64_t hint, Pred&& pred) {
  if (from >= to) return to;
  if (hint < from) hint = from;
  if (hint > to - 1) hint = to - 1;
  int64_t lo, hi;  // pred(lo - 1) is false (or lo == from), pred(hi) is true (or hi == to)
  if (pred(hint)) {
    hi = hint;
    int64_t gap = 1;
    lo = hint;
    for (;;) {
      const int64_t probe = hi - gap;
      if (probe < from) {
        lo = from;
        break;
      }
      if (!pred(probe)) {
        lo = probe + 1;
        break;
      }
      hi = probe;
      gap *= 2;
    }
  } else {
    lo = hint + 1;
    int64_t gap = 1;
    hi = to;
    for (;;) {
      const int64_t probe = lo - 1 + gap;
      if (probe >= to) break;
      if (pred(probe)) {
        hi = probe;
        break;
      }
      lo = probe + 1;
      gap *= 2;
    }
  }
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (pred(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

}  // namespace vexmor
