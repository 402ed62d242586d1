// Crossing triangles, decided exactly: the triangle pair test against a literal long double
// computation, and the tree of boxes against all pairs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "mesh/exact_predicates.h"
#include "mesh/self_intersection.h"

namespace vexmor::cli::test {
namespace {

using Triangle = std::array<Vec3, 3>;

TriangleContact Contact(const Triangle& s, const Triangle& t) {
  return ContactOfTriangles(s[0], s[1], s[2], t[0], t[1], t[2]);
}

// The literal test: the two pieces of the line where the planes meet, in long double,
// and how far they overlap (negative: apart).
long double OverlapAlongPlaneLine(const Triangle& s, const Triangle& t) {
  using L = long double;
  using V = std::array<L, 3>;
  auto sub = [](const V& a, const V& b) { return V{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
  auto cross = [](const V& a, const V& b) {
    return V{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  };
  auto dot = [](const V& a, const V& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  auto wide = [](const Triangle& x) {
    std::array<V, 3> w;
    for (int i = 0; i < 3; ++i)
      w[i] = {x[i][0], x[i][1], x[i][2]};
    return w;
  };
  const auto a = wide(s), b = wide(t);
  const V n1 = cross(sub(a[1], a[0]), sub(a[2], a[0])),
          n2 = cross(sub(b[1], b[0]), sub(b[2], b[0]));
  const V along = cross(n1, n2);
  auto piece = [&](const std::array<V, 3>& x, const V& n, const V& o, L& lo, L& hi) {
    L d[3];
    for (int k = 0; k < 3; ++k)
      d[k] = dot(n, sub(x[k], o));
    lo = INFINITY;
    hi = -INFINITY;
    int ends = 0;
    for (int k = 0; k < 3; ++k) {
      const int m = (k + 1) % 3;
      if ((d[k] > 0 && d[m] < 0) || (d[k] < 0 && d[m] > 0)) {
        const L f = d[k] / (d[k] - d[m]);
        V p;
        for (int c = 0; c < 3; ++c)
          p[c] = x[k][c] + f * (x[m][c] - x[k][c]);
        lo = std::min(lo, dot(p, along));
        hi = std::max(hi, dot(p, along));
        ++ends;
      }
    }
    return ends == 2;
  };
  L lo1, hi1, lo2, hi2;
  if (!piece(a, n2, b[0], lo1, hi1) || !piece(b, n1, a[0], lo2, hi2)) return -1;
  return (std::min(hi1, hi2) - std::max(lo1, lo2)) / std::sqrt(dot(along, along));
}

TEST(SelfIntersection, PairTestAgreesWithLiteralComputation) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(0, 1);
  size_t crossings = 0;
  for (int i = 0; i < 50000; ++i) {
    Triangle s, t;
    for (int k = 0; k < 3; ++k) {
      s[k] = {unit(random), unit(random), unit(random)};
      t[k] = {unit(random), unit(random), unit(random)};
    }
    const long double overlap = OverlapAlongPlaneLine(s, t);
    if (std::fabs(overlap) < 1e-9) continue;  // too close to call in long double
    const bool literal = overlap > 0;
    crossings += literal;
    ASSERT_EQ(Contact(s, t) == TriangleContact::kCrossing, literal) << i;
    ASSERT_EQ(Contact(t, s) == TriangleContact::kCrossing, literal) << i;
  }
  EXPECT_GT(crossings, 5000u);
}

TEST(SelfIntersection, TreeFindsEveryPairThatAllPairsFind) {
  // A soup of small random triangles, some of them sharing nodes.
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> unit(0, 10), step(-1, 1);
  Mesh soup;
  for (int i = 0; i < 600; ++i) {
    const Vec3 c{unit(random), unit(random), unit(random)};
    for (int k = 0; k < 3; ++k)
      soup.addNode(c[0] + step(random), c[1] + step(random), c[2] + step(random));
  }
  std::uniform_int_distribution<int32_t> node(0, static_cast<int32_t>(soup.nodeCount()) - 1);
  for (int i = 0; i < 700; ++i)
    soup.addFace({node(random), node(random), node(random)});
  std::set<std::tuple<size_t, size_t, TriangleContact>> tree, all;
  FindTriangleContacts(soup, {}, [&](size_t s, size_t t, TriangleContact c) {
    EXPECT_LT(s, t);
    tree.insert({s, t, c});
  });
  for (size_t s = 0; s < soup.faceCount(); ++s) {
    for (size_t t = s + 1; t < soup.faceCount(); ++t) {
      const auto a = soup.face(s), b = soup.face(t);
      bool shared = false;
      for (int32_t x : a)
        shared = shared || std::find(b.begin(), b.end(), x) != b.end();
      if (shared) continue;
      const TriangleContact c =
          ContactOfTriangles(soup.node(a[0]), soup.node(a[1]), soup.node(a[2]), soup.node(b[0]),
                             soup.node(b[1]), soup.node(b[2]));
      if (c != TriangleContact::kNone) all.insert({s, t, c});
    }
  }
  EXPECT_GT(all.size(), 50u);
  EXPECT_EQ(tree, all);
}

}  // namespace
}  // namespace vexmor::cli::test
