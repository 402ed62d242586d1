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

  const int n = d.max > d.min ? std::max(bins, 1) : 1;
  const double width = (d.max - d.min) / n;
  d.histogram.resize(static_cast<size_t>(n));
  for (int b = 0; b < n; ++b) {
    d.histogram[b].from = d.min + width * b;
    d.histogram[b].to = b + 1 == n ? d.max : d.min + width * (b + 1);
  }
  double belowWeight = 0, aboveWeight = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (!std::isfinite(v)) continue;
    const double w = weightOf(i);
    int b = width > 0 ? static_cast<int>((v - d.min) / width) : 0;
    b = std::clamp(b, 0, n - 1);
    ++d.histogram[b].count;
    d.histogram[b].share += w;
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
