// Order statistics, weighted histograms and limit counts on values whose answers are known.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/statistics.h"

namespace vexmor::cli::test {
namespace {

TEST(Statistics, OrderStatisticsSkipValuesWithoutResult) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> values = {4, nan, 1, 3, INFINITY, 2, 5};
  const Distribution d = Describe(values, {}, 4);
  EXPECT_EQ(d.count, 5u);
  EXPECT_EQ(d.missing, 2u);
  EXPECT_EQ(d.min, 1);
  EXPECT_EQ(d.max, 5);
  EXPECT_EQ(d.mean, 3);
  EXPECT_EQ(d.median, 3);
  EXPECT_DOUBLE_EQ(d.p5, 1.2);
  EXPECT_DOUBLE_EQ(d.p95, 4.8);
  EXPECT_FALSE(d.weighted);
  ASSERT_EQ(d.histogram.size(), 4u);
  size_t counted = 0;
  for (const auto& bin : d.histogram)
    counted += bin.count;
  EXPECT_EQ(counted, 5u);
  EXPECT_EQ(d.histogram.back().count, 2u);  // 4 and the maximum 5
}

TEST(Statistics, AreaWeightsAndLimits) {
  const std::vector<double> values = {1, 1, 10};
  const std::vector<double> areas = {1, 1, 8};
  const Distribution d = Describe(values, areas, 2, {2.0, 9.0});
  EXPECT_TRUE(d.weighted);
  EXPECT_DOUBLE_EQ(d.weightedMean, (1 + 1 + 80) / 10.0);
  EXPECT_DOUBLE_EQ(d.histogram[0].share, 0.2);
  EXPECT_DOUBLE_EQ(d.histogram[1].share, 0.8);
  EXPECT_EQ(d.below, 2u);
  EXPECT_DOUBLE_EQ(d.belowShare, 0.2);
  EXPECT_EQ(d.above, 1u);
  EXPECT_DOUBLE_EQ(d.aboveShare, 0.8);
}

TEST(Statistics, EqualValuesAndNoValues) {
  const Distribution same = Describe(std::vector<double>{2, 2, 2}, {}, 10);
  ASSERT_EQ(same.histogram.size(), 1u);
  EXPECT_EQ(same.histogram[0].count, 3u);
  EXPECT_DOUBLE_EQ(same.histogram[0].share, 1.0);
  const Distribution none = Describe(std::vector<double>{NAN}, {}, 10);
  EXPECT_EQ(none.count, 0u);
  EXPECT_TRUE(none.histogram.empty());
}

TEST(Statistics, FarOutValuesGetABinOfTheirOwn) {
  // 0 .. 999 and one value of a million: the histogram keeps its resolution on the thousand.
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i)
    values.push_back(i);
  values.push_back(1e6);
  const Distribution d = Describe(values, {}, 10);
  // Nine bins wanted for 0 .. 990 (the 99th percentile): five of 200.
  ASSERT_EQ(d.histogram.size(), 6u);
  const HistogramBin& tail = d.histogram.back();
  EXPECT_TRUE(tail.tail);
  EXPECT_EQ(tail.to, 1e6);
  EXPECT_EQ(tail.from, 1000);
  EXPECT_EQ(tail.count, 1u);
  EXPECT_FALSE(d.histogram.front().tail);
  EXPECT_EQ(d.histogram.front().from, 0);
  EXPECT_EQ(d.histogram.front().to, 200);
  EXPECT_EQ(d.histogram.front().count, 200u);
  size_t counted = 0;
  for (const auto& bin : d.histogram)
    counted += bin.count;
  EXPECT_EQ(counted, values.size());

  // The same at the low end, and no tail where the values spread evenly.
  for (double& v : values)
    v = -v;
  EXPECT_TRUE(Describe(values, {}, 10).histogram.front().tail);
  values.pop_back();
  for (const auto& bin : Describe(values, {}, 10).histogram)
    EXPECT_FALSE(bin.tail);
}

TEST(Statistics, BinEdgesAreRoundNumbers) {
  const std::pair<double, double> steps[] = {{0.7, 1}, {1, 1},  {1.3, 2},      {2.2, 2.5},
                                             {3, 5},   {7, 10}, {0.031, 0.05}, {1234, 2000}};
  for (const auto& [raw, step] : steps)
    EXPECT_DOUBLE_EQ(ReadableStep(raw), step) << raw;
  // 0.37 .. 2.91 in six bins: edges 0.37, 0.793, ... would not be readable; 0.5 steps are.
  const Distribution d = Describe(std::vector<double>{0.37, 1.1, 2.91}, {}, 6);
  ASSERT_EQ(d.histogram.size(), 6u);
  EXPECT_EQ(d.histogram.front().from, 0);
  EXPECT_EQ(d.histogram.back().to, 3);
  EXPECT_EQ(d.histogram[2].from, 1);
}

}  // namespace
}  // namespace vexmor::cli::test
