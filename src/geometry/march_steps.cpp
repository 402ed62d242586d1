#include "geometry/march_steps.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vexmor {
namespace {

// Whether a and b lie in the binade of `low` (a power of two) by magnitude, at least one unit in
// the last place u away from both of its ends. A rounded difference that lands there was
// rounded on that binade's grid.
bool WellInside(double a, double low, double u) {
  const double m = std::fabs(a);
  return m >= low + u && m <= 2.0 * low - u;
}

// Steps, from x, of size |d| that keep the magnitude inside [low + u, 2 low - u], moving
// towards smaller magnitudes when `shrinking`.
int64_t StepsWellInside(double x, double d, double low, double u, bool shrinking, int64_t limit) {
  const double m = std::fabs(x), step = std::fabs(d);
  const double room = shrinking ? m - (low + u) : (2.0 * low - u) - m;
  if (!(room >= step)) return 0;
  double k = std::floor(room / step);
  if (!(k < static_cast<double>(limit))) k = static_cast<double>(limit);
  // The division may round up past the last step that stays inside.
  while (k > 0 && !WellInside(x - k * d, low, u))
    k -= 1;
  return static_cast<int64_t>(k);
}

// Per axis k: the index at which the march reaches a plane, as a first guess for a search.
int64_t GuessIndex(double x, double s, double plane, int64_t limit) {
  if (s == 0.0) return limit;
  const double t = (x - plane) / s;
  if (!(t >= 0.0)) return 0;
  if (!(t < static_cast<double>(limit))) return limit;
  return static_cast<int64_t>(t);
}

bool LeavesBox(const double bbox[6], const double p[3], const double q[3]) {
  for (int k = 0; k < 3; ++k) {
    if (p[k] < bbox[k] && q[k] < bbox[k]) return true;
    if (p[k] > bbox[k + 3] && q[k] > bbox[k + 3]) return true;
  }
  return false;
}

}  // namespace

double AdvanceCoordinate(double x, double s, int64_t n) {
  if (!std::isfinite(x) || !std::isfinite(s)) {
    // Infinite or not a number: after two steps nothing changes any more.
    for (int64_t i = 0; i < std::min<int64_t>(n, 2); ++i)
      x = x - s;
    return x;
  }
  while (n > 0) {
    if (n <= 3) {
      for (; n > 0; --n)
        x = x - s;
      return x;
    }
    const double x1 = x - s, x2 = x1 - s, x3 = x2 - s;
    n -= 3;
    x = x3;
    if (x2 == x3) return x3;  // stalled: every later step repeats it
    // Within a binade, once two steps have been rounded on its grid, every further step drops
    // by the same amount d.
    if (x1 == 0.0 || x2 == 0.0 || x3 == 0.0) continue;
    if (std::signbit(x1) != std::signbit(x3) || std::signbit(x2) != std::signbit(x3)) continue;
    // The binade of x2 by its exponent bits; no jumps among the smallest numbers.
    const uint64_t exponent = (std::bit_cast<uint64_t>(x2) >> 52) & 0x7ff;
    if (exponent < 60 || ((std::bit_cast<uint64_t>(x1) >> 52) & 0x7ff) != exponent) continue;
    const double low = std::bit_cast<double>(exponent << 52);
    const double u = std::bit_cast<double>((exponent - 52) << 52);
    if (!WellInside(x2, low, u) || !WellInside(x3, low, u)) continue;
    const double d = x2 - x3;  // exact: both on the binade's grid
    const bool shrinking = std::signbit(d) == std::signbit(x3);
    const int64_t k = StepsWellInside(x3, d, low, u, shrinking, n);
    x = x3 - static_cast<double>(k) * d;  // exact: k d and the result lie on the grid
    n -= k;
  }
  return x;
}

MarchSteps::MarchSteps(const double start[3], const double step[3]) {
  finite_ = true;
  for (int k = 0; k < 3; ++k) {
    start_[k] = start[k];
    step_[k] = step[k];
    finite_ = finite_ && std::isfinite(start[k]) && std::isfinite(step[k]);
  }
}

void MarchSteps::Point(int64_t j, double p[3]) const {
  for (int k = 0; k < 3; ++k)
    p[k] = Coordinate(k, j);
}

MarchLength MarchSteps::Length(const double bbox[6], int64_t maxSteps) const {
  auto stalled = [&](int64_t j) {
    double p[3];
    Point(j, p);
    for (int k = 0; k < 3; ++k) {
      if (p[k] - step_[k] != p[k]) return false;
    }
    return true;
  };
  auto leaves = [&](int64_t j) {
    double p[3], q[3];
    Point(j, p);
    for (int k = 0; k < 3; ++k)
      q[k] = p[k] - step_[k];
    return LeavesBox(bbox, p, q);
  };
  // The first step is tested against the box before the budget.
  if (leaves(0)) return {0, MarchEnd::kLeftBox};
  if (maxSteps <= 0) return {0, MarchEnd::kOutOfSteps};
  // After a first step inside, a step leaves once some coordinate has passed a side of the box,
  // and leaves from then on.
  int64_t guess = maxSteps;
  for (int k = 0; k < 3; ++k) {
    const double plane = step_[k] > 0.0 ? bbox[k] : bbox[k + 3];
    guess = std::min(guess, GuessIndex(start_[k], step_[k], plane, maxSteps));
  }
  const int64_t leave = FirstIndexWhere(1, maxSteps + 1, guess, leaves);
  // Stalling lasts once it starts; mostly it never does, which one look at the end shows.
  const int64_t last = std::min(leave, maxSteps);
  const int64_t stall = FirstIndexWhere(0, last, last - 1, stalled);
  if (stall < last) return {stall + 1, MarchEnd::kStalled};
  if (leave <= maxSteps) return {leave, MarchEnd::kLeftBox};
  return {maxSteps, MarchEnd::kOutOfSteps};
}

}  // namespace vexmor
