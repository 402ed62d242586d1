// The points of a ray march at any index, and where a march ends, against marching step after
// step.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "geometry/march_steps.h"

namespace vexmor::test {
namespace {

double Literal(double x, double s, int64_t n) {
  for (int64_t i = 0; i < n; ++i)
    x = x - s;
  return x;
}

// The march of ray_march.h looked at step by step.
MarchLength LiteralLength(const double bbox[6], const double start[3], const double step[3],
                          int64_t maxSteps) {
  double p[3] = {start[0], start[1], start[2]};
  for (int64_t j = 0;; ++j) {
    const double q[3] = {p[0] - step[0], p[1] - step[1], p[2] - step[2]};
    for (int k = 0; k < 3; ++k) {
      if ((p[k] < bbox[k] && q[k] < bbox[k]) || (p[k] > bbox[k + 3] && q[k] > bbox[k + 3])) {
        return {j, MarchEnd::kLeftBox};
      }
    }
    if (j >= maxSteps) return {j, MarchEnd::kOutOfSteps};
    if (q[0] == p[0] && q[1] == p[1] && q[2] == p[2]) return {j + 1, MarchEnd::kStalled};
    for (int k = 0; k < 3; ++k)
      p[k] = q[k];
  }
}

TEST(MarchSteps, AdvanceGivesTheRoundedSubtractionsOneByOne) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 30), offset(-60, 8);
  for (int trial = 0; trial < 6000; ++trial) {
    const double x = (unit(rng) < 0.5 ? -1 : 1) * std::ldexp(1.0 + unit(rng), exponent(rng));
    const double ulp = std::ldexp(1.0, std::ilogb(x) - 52);
    double s =
        (unit(rng) < 0.5 ? -1 : 1) * std::ldexp(1.0 + unit(rng), std::ilogb(x) + offset(rng));
    switch (trial % 5) {
      case 0:  // a tie on the grid of x's binade: the parity of x decides the first rounding
        s = (unit(rng) < 0.5 ? -1 : 1) * (std::floor(unit(rng) * 4096) + 0.5) * ulp;
        break;
      case 1:  // a step of whole units in the last place
        s = (unit(rng) < 0.5 ? -1 : 1) * std::floor(1 + unit(rng) * 4096) * ulp;
        break;
      case 2:  // steps that cross zero and binades on the way
        s = x / (1 + std::floor(unit(rng) * 3000)) * (1 + 1e-9 * unit(rng));
        break;
      default:
        break;
    }
    const int64_t n = static_cast<int64_t>(unit(rng) * 5000);
    ASSERT_EQ(std::bit_cast<uint64_t>(AdvanceCoordinate(x, s, n)),
              std::bit_cast<uint64_t>(Literal(x, s, n)))
        << std::hexfloat << "x " << x << " s " << s << " n " << n;
  }
  // Zero steps, signed zeros, stalls and values that are not finite.
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  for (double x : {0.0, -0.0, 1e300, -5e-324, 3.0, kInf, -kInf, kNan}) {
    for (double s : {0.0, -0.0, 1e-300, 1.0, -1e290, kInf, kNan}) {
      for (int64_t n : {0, 1, 2, 3, 4, 7, 100}) {
        const double got = AdvanceCoordinate(x, s, n), want = Literal(x, s, n);
        ASSERT_TRUE(std::bit_cast<uint64_t>(got) == std::bit_cast<uint64_t>(want) ||
                    (std::isnan(got) && std::isnan(want)))
            << x << " " << s << " " << n;
      }
    }
  }
}

TEST(MarchSteps, LengthIsWhereAMarchStepAfterStepEnds) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int ends[3] = {0, 0, 0};
  for (int trial = 0; trial < 3000; ++trial) {
    const double bbox[6] = {-550, -500 * unit(rng), -3, 10550, 10000, 5000 * unit(rng) + 1};
    double start[3], step[3];
    for (int k = 0; k < 3; ++k) {
      // Mostly inside the box, sometimes beyond a side; steps of every scale, some along axes.
      start[k] = bbox[k] + (bbox[k + 3] - bbox[k]) * (1.4 * unit(rng) - 0.2);
      step[k] = (unit(rng) - 0.5) * std::pow(10.0, 4 * unit(rng) - 1);
    }
    if (trial % 7 == 0) step[trial % 3] = 0.0;
    if (trial % 11 == 0) {
      for (double& s : step)
        s *= 1e-14;  // too short to move some coordinates
    }
    const int64_t maxSteps = trial % 4 == 0 ? static_cast<int64_t>(unit(rng) * 300) : 40000;
    const MarchSteps steps(start, step);
    const MarchLength got = steps.Length(bbox, maxSteps);
    const MarchLength want = LiteralLength(bbox, start, step, maxSteps);
    ASSERT_EQ(got.searched, want.searched) << "trial " << trial;
    ASSERT_EQ(got.end, want.end) << "trial " << trial;
    ++ends[static_cast<int>(want.end)];
    double p[3];
    steps.Point(want.searched, p);
    for (int k = 0; k < 3; ++k)
      ASSERT_EQ(p[k], Literal(start[k], step[k], want.searched));
  }
  EXPECT_GT(ends[0], 100);  // left the box
  EXPECT_GT(ends[1], 100);  // out of steps
  EXPECT_GT(ends[2], 10);   // stalled
}

}  // namespace
}  // namespace vexmor::test
