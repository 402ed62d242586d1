#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>

namespace vexmor::cli {

double Percentile(std::span<const double> sorted, double fraction) {
  const double rank = fraction * static_cast<double>(sorted.size() - 1);
  const size_t lo = static_cast<size_t>(std::floor(rank));
  const size_t hi = std::min(lo + 1, sorted.size() - 1);
  return sorted[lo] + (sorted[hi] - sorted[lo]) * (rank - static_cast<double>(lo));
}

double ReadableStep(double raw) {
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (m * power >= raw * (1 - 1e-12)) return m * power;
  }
  return 10 * power;
}

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
    finite.push_back(v);
    sum += v;
    weightSum += weightOf(i);
    weightedSum += weightOf(i) * v;
  }
  d.count = finite.size();
  if (finite.empty()) return d;
  std::sort(finite.begin(), finite.end());
  d.min = finite.front();
  d.max = finite.back();
  d.mean = sum / static_cast<double>(d.count);
  d.weightedMean = weightSum > 0 ? weightedSum / weightSum : d.mean;
  d.median = Percentile(finite, 0.5);
  d.p5 = Percentile(finite, 0.05);
  d.p95 = Percentile(finite, 0.95);

  // A few values far out (a gradient of 800 where nearly all are below 1) would squeeze the
  // rest into one bin: when the outer 1 % at either end spreads wider than the middle 98 %,
  // it gets a bin of its own and the other bins share the middle.
  const double q1 = Percentile(finite, 0.01), q99 = Percentile(finite, 0.99);
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
