#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vexmor::cli {

double ReadableStep(double raw) {
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (m * power >= raw * (1 - 1e-12)) return m * power;
  }
  return 10 * power;
}

namespace {

// The values that the percentiles of some fractions read: those a sort would put at ranks lo
// and lo + 1 of each fraction. They are found by selection, one nth_element pass over what lies
// above the previous rank for each, instead of a sort of every value. A percentile interpolates
// linearly between its two nearest ranks.
class RankedValues {
 public:
  RankedValues(std::vector<double>& values, std::initializer_list<double> fractions)
      : size_(values.size()) {
    std::vector<size_t> ranks;
    for (double fraction : fractions) {
      const size_t lo = Lower(fraction);
      ranks.push_back(lo);
      ranks.push_back(std::min(lo + 1, size_ - 1));
    }
    std::sort(ranks.begin(), ranks.end());
    ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
    size_t from = 0;
    for (size_t rank : ranks) {
      const auto at = values.begin() + static_cast<std::ptrdiff_t>(rank);
      std::nth_element(values.begin() + static_cast<std::ptrdiff_t>(from), at, values.end());
      found_.push_back({rank, *at});
      from = rank + 1;
    }
  }

  double Percentile(double fraction) const {
    const double rank = fraction * static_cast<double>(size_ - 1);
    const size_t lo = Lower(fraction);
    const size_t hi = std::min(lo + 1, size_ - 1);
    return At(lo) + (At(hi) - At(lo)) * (rank - static_cast<double>(lo));
  }

 private:
  size_t Lower(double fraction) const {
    return static_cast<size_t>(std::floor(fraction * static_cast<double>(size_ - 1)));
  }
  double At(size_t rank) const {
    for (const auto& [r, value] : found_)
      if (r == rank) return value;
    return 0;  // never: every rank asked for was found
  }

  size_t size_;
  std::vector<std::pair<size_t, double>> found_;
};

}  // namespace

Distribution Describe(std::span<const double> values, std::span<const double> weights, int bins,
                      const Limits& limits) {
  Distribution d;
  d.weighted = !weights.empty();
  std::vector<double> finite;
  finite.reserve(values.size());
  double sum = 0, weightSum = 0, weightedSum = 0;
  auto weightOf = [&](size_t i) { return weights.empty() ? 1.0 : weights[i]; };
  for (size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (!std::isfinite(v)) {
      ++d.missing;
      continue;
    }
    // -0 and 0 compare equal, so which a rank holds would depend on the selection: 0 it is.
    finite.push_back(v + 0.0);
    sum += v;
    weightSum += weightOf(i);
    weightedSum += weightOf(i) * v;
  }
  d.count = finite.size();
  if (finite.empty()) return d;
  const auto [least, most] = std::minmax_element(finite.begin(), finite.end());
  d.min = *least;
  d.max = *most;
  d.mean = sum / static_cast<double>(d.count);
  d.weightedMean = weightSum > 0 ? weightedSum / weightSum : d.mean;
  const RankedValues ranked(finite, {0.01, 0.05, 0.5, 0.95, 0.99});
  d.median = ranked.Percentile(0.5);
  d.p5 = ranked.Percentile(0.05);
  d.p95 = ranked.Percentile(0.95);

  // A few values far out (a gradient of 800 where nearly all are below 1) would squeeze the
  // rest into one bin: when the outer 1 % at either end spreads wider than the middle 98 %,
  // it gets a bin of its own and the other bins share the middle.
  const double q1 = ranked.Percentile(0.01), q99 = ranked.Percentile(0.99);
  const bool tails = bins >= 4 && q99 > q1;
  const bool lowTail = tails && q1 - d.min > q99 - q1;
  const bool highTail = tails && d.max - q99 > q99 - q1;
  // The middle bins share one width of 1, 2, 2.5 or 5 times a power of ten, their edges
  // multiples of it, so that the edges read as round numbers.
  double lo = lowTail ? q1 : d.min, hi = highTail ? q99 : d.max;
  int n = 1;
  double width = 0;
  if (d.max > d.min && hi > lo) {
    const int wanted = std::max(bins, 1) - lowTail - highTail;
    width = ReadableStep((hi - lo) / wanted);
    const double start = std::floor(lo / width) * width;
    n = std::max(1, static_cast<int>(std::ceil((hi - start) / width - 1e-9)));
    lo = start;
    hi = start + width * n;
  }
  const bool lowBin = lowTail && d.min < lo, highBin = highTail && d.max > hi;
  if (lowBin) d.histogram.push_back({d.min, lo, 0, 0, true});
  for (int b = 0; b < n; ++b) {
    d.histogram.push_back({n == 1 && width == 0 ? d.min : lo + width * b,
                           n == 1 && width == 0 ? d.max : lo + width * (b + 1), 0, 0, false});
  }
  if (highBin) d.histogram.push_back({hi, d.max, 0, 0, true});
  auto binOf = [&](double v) {
    if (lowBin && v < lo) return size_t{0};
    if (highBin && v > hi) return d.histogram.size() - 1;
    const double at = width > 0 ? std::clamp((v - lo) / width, 0.0, n - 1.0) : 0;
    return static_cast<size_t>(at) + (lowBin ? 1 : 0);
  };
  double belowWeight = 0, aboveWeight = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (!std::isfinite(v)) continue;
    const double w = weightOf(i);
    HistogramBin& bin = d.histogram[binOf(v)];
    ++bin.count;
    bin.share += w;
    if (limits.min && v < *limits.min) {
      ++d.below;
      belowWeight += w;
    }
    if (limits.max && v > *limits.max) {
      ++d.above;
      aboveWeight += w;
    }
  }
  if (weightSum > 0) {
    for (auto& bin : d.histogram)
      bin.share /= weightSum;
    d.belowShare = belowWeight / weightSum;
    d.aboveShare = aboveWeight / weightSum;
  }
  return d;
}

}  // namespace vexmor::cli
