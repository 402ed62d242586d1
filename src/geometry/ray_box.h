// Where a ray probe's segment enters a box, and how far face boxes are widened for it so that
// no face the segment-triangle intersection could report crossed is skipped.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexmor {

// A face box is widened on each axis by this fraction of its extent there, and at least
// kRayWideningFloor: the box then holds every point that the segment-triangle intersection
// accepts as on the triangle (it tolerates a relative 1e-6 of the triangle's partial areas).
inline constexpr double kRayWideningFraction = 1e-5;
inline constexpr double kRayWideningFloor = 1e-6;

// The box of a triangle (nine coordinates) widened for the ray probes: on each axis by
// kRayWideningFraction of its extent there and by kRayWideningFloor, and by a few
// single-precision steps of its largest coordinate, so that it also holds the box the ADT
// stores for the face (rounded to single precision) widened the same way.
inline void WidenedFaceBox(const double tri[9], double box[6]) {
  double magnitude = 0.0;
  for (int k = 0; k < 3; ++k) {
    box[k] = std::min({tri[k], tri[3 + k], tri[6 + k]});
    box[k + 3] = std::max({tri[k], tri[3 + k], tri[6 + k]});
    magnitude = std::max({magnitude, std::fabs(box[k]), std::fabs(box[k + 3])});
  }
  for (int k = 0; k < 3; ++k) {
    const double margin =
        kRayWideningFloor + kRayWideningFraction * (box[k + 3] - box[k]) + 4e-7 * magnitude;
    box[k] -= margin;
    box[k + 3] += margin;
  }
}

// Where the segment origin + t * step, 0 <= t <= length, enters boxes given as min x, y, z,
// max x, y, z: the parameter t (0 when it starts inside), or +infinity when it misses the box.
// The steps' reciprocals are taken once, so each box costs multiplications only; an entry may
// be off by a few units in the last place, far below the slack the probes leave their bounds.
class SegmentBoxEntries {
 public:
  SegmentBoxEntries(const double origin[3], const double step[3], double length) : length_(length) {
    for (int k = 0; k < 3; ++k) {
      origin_[k] = origin[k];
      flat_[k] = step[k] == 0.0;
      inverse_[k] = flat_[k] ? 0.0 : 1.0 / step[k];
    }
  }

  template <typename Coordinate>
  double operator()(const Coordinate* box) const {
    double enter = 0.0, leave = length_;
    for (int k = 0; k < 3; ++k) {
      const double lo = box[k], hi = box[k + 3];
      if (flat_[k]) {
        if (origin_[k] < lo || origin_[k] > hi) return INFINITY;
        continue;
      }
      double t1 = (lo - origin_[k]) * inverse_[k], t2 = (hi - origin_[k]) * inverse_[k];
      if (t1 > t2) std::swap(t1, t2);
      enter = std::max(enter, t1);
      leave = std::min(leave, t2);
      if (!(enter <= leave)) return INFINITY;
    }
    return enter;
  }

  // The entries of four boxes stored by coordinate, low[k][c] and high[k][c] being box c's
  // minimum and maximum along axis k: each is the value operator() gives for that box, bit for
  // bit, computed for two boxes at a time where the processor has two-lane double arithmetic.
  void OfFour(const float low[3][4], const float high[3][4], double entry[4]) const {
#if defined(__SSE2__)
    for (int pair = 0; pair < 4; pair += 2) {
      __m128d enter = _mm_setzero_pd(), leave = _mm_set1_pd(length_);
      __m128d outside = _mm_setzero_pd();  // all bits set in a lane a flat axis misses
      for (int k = 0; k < 3; ++k) {
        const __m128d lo = TwoFloats(low[k] + pair), hi = TwoFloats(high[k] + pair);
        const __m128d origin = _mm_set1_pd(origin_[k]);
        if (flat_[k]) {
          outside =
              _mm_or_pd(outside, _mm_or_pd(_mm_cmplt_pd(origin, lo), _mm_cmpgt_pd(origin, hi)));
          continue;
        }
        const __m128d inverse = _mm_set1_pd(inverse_[k]);
        const __m128d t1 = _mm_mul_pd(_mm_sub_pd(lo, origin), inverse);
        const __m128d t2 = _mm_mul_pd(_mm_sub_pd(hi, origin), inverse);
        // The operand orders repeat those of operator(): t1 > t2 ? t2 : t1, then the same
        // std::max and std::min, which keep enter and leave when a t is not a number.
        enter = _mm_max_pd(_mm_min_pd(t2, t1), enter);
        leave = _mm_min_pd(_mm_max_pd(t1, t2), leave);
      }
      // enter and leave only grow and shrink, so testing them once at the end is testing them
      // after each axis.
      const __m128d miss = _mm_or_pd(outside, _mm_cmpnle_pd(enter, leave));
      const __m128d result =
          _mm_or_pd(_mm_and_pd(miss, _mm_set1_pd(INFINITY)), _mm_andnot_pd(miss, enter));
      _mm_storeu_pd(entry + pair, result);
    }
#else
    for (int c = 0; c < 4; ++c) {
      const float box[6] = {low[0][c], low[1][c], low[2][c], high[0][c], high[1][c], high[2][c]};
      entry[c] = (*this)(box);
    }
#endif
  }

 private:
#if defined(__SSE2__)
  static __m128d TwoFloats(const float* values) {
    return _mm_cvtps_pd(
        _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values))));
  }
#endif

  double origin_[3];
  double inverse_[3];
  bool flat_[3];
  double length_;
};

}  // namespace vexmor
