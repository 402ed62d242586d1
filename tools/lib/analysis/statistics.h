// Summaries of a set of values: order statistics, a weighted histogram (by face area, or by
// count) and the share of values outside limits that the user gave.
#pragma once

#include <optional>
#include <span>
#include <vector>

namespace vexmor::cli {

struct HistogramBin {
  double from = 0, to = 0;
  size_t count = 0;
  double share = 0;   // of the total weight, 0 to 1
  bool tail = false;  // the outer 1 % of the values, far out: a bin wider than the others
};

struct Limits {
  std::optional<double> min, max;
};

struct Distribution {
  size_t count = 0;    // values with a result (finite)
  size_t missing = 0;  // values without one (NaN or infinite)
  // The percentiles interpolate linearly between the two nearest ranks of the sorted values.
  double min = 0, max = 0, mean = 0, median = 0, p5 = 0, p95 = 0;
  double weightedMean = 0;
  bool weighted = false;  // weights were given (shares are of area, not of count)
  std::vector<HistogramBin> histogram;
  size_t below = 0, above = 0;            // values under limits.min, over limits.max
  double belowShare = 0, aboveShare = 0;  // of the total weight
};

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least `raw`.
double ReadableStep(double raw);

// The histogram's middle bins have one readable width (ReadableStep) and edges at its
// multiples; the outer 1 % gets a bin of its own where it spreads far. `weights` empty means every
// value weighs one. Non-finite values are counted as missing and left out of everything else.
Distribution Describe(std::span<const double> values, std::span<const double> weights, int bins,
                      const Limits& limits = {});

}  // namespace vexmor::cli
