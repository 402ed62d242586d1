#include "mesh/exact_predicates.h"

#include <cmath>

namespace vexmor::cli {
namespace {

// Half the distance between 1 and the next double: the relative error of one rounding.
constexpr double kEpsilon = 1.1102230246251565e-16;
// Bounds on the error of the plain floating-point determinants, relative to their permanents
// (the same sums of products with every term made positive).
constexpr double kOrient2dBound = (3.0 + 16.0 * kEpsilon) * kEpsilon;
constexpr double kOrient3dBound = (7.0 + 56.0 * kEpsilon) * kEpsilon;

// A value held exactly as the sum of up to N doubles of increasing magnitude that do not
// overlap; zero components are left out, so the sign is the sign of the last one.
template <int N>
struct Expansion {
  double c[N];
  int n = 0;
  int sign() const { return n == 0 ? 0 : (c[n - 1] > 0 ? 1 : -1); }
};

// a + b = x + y exactly, with x the rounded sum.
inline void TwoSum(double a, double b, double& x, double& y) {
  x = a + b;
  const double bVirtual = x - a;
  const double aVirtual = x - bVirtual;
  y = (a - aVirtual) + (b - bVirtual);
}

// a - b = x + y exactly.
inline void TwoDiff(double a, double b, double& x, double& y) {
  x = a - b;
  const double bVirtual = a - x;
  const double aVirtual = x + bVirtual;
  y = (a - aVirtual) + (bVirtual - b);
}

// a * b = x + y exactly (std::fma rounds once, so it yields the product's error).
inline void TwoProduct(double a, double b, double& x, double& y) {
  x = a * b;
  y = std::fma(a, b, -x);
}

template <int N>
Expansion<N> FromDifference(double a, double b) {
  Expansion<N> e;
  double x, y;
  TwoDiff(a, b, x, y);
  if (y != 0) e.c[e.n++] = y;
  if (x != 0) e.c[e.n++] = x;
  return e;
}

// h += b, keeping the components non-overlapping and in increasing magnitude. Each component
// is replaced by the error of its sum, so the work is done in place.
template <int N>
void Grow(Expansion<N>& h, double b) {
  double q = b;
  int out = 0;
  for (int i = 0; i < h.n; ++i) {
    double sum, error;
    TwoSum(q, h.c[i], sum, error);
    q = sum;
    if (error != 0) h.c[out++] = error;
  }
  if (q != 0) h.c[out++] = q;
  h.n = out;
}

// a + b; N must hold a.n + b.n components.
template <int N, int A, int B>
Expansion<N> Sum(const Expansion<A>& a, const Expansion<B>& b) {
  static_assert(N >= A + B);
  Expansion<N> h;
  for (int i = 0; i < a.n; ++i)
    h.c[h.n++] = a.c[i];
  for (int j = 0; j < b.n; ++j)
    Grow(h, b.c[j]);
  return h;
}

// a * b: every component of a times every component of b, two doubles per product.
template <int N, int A, int B>
Expansion<N> Product(const Expansion<A>& a, const Expansion<B>& b) {
  static_assert(N >= 2 * A * B);
  Expansion<N> h;
  for (int j = 0; j < b.n; ++j) {
    for (int i = 0; i < a.n; ++i) {
      double product, error;
      TwoProduct(a.c[i], b.c[j], product, error);
      if (error != 0) Grow(h, error);
      if (product != 0) Grow(h, product);
    }
  }
  return h;
}

template <int N>
Expansion<N> Negated(Expansion<N> e) {
  for (int i = 0; i < e.n; ++i)
    e.c[i] = -e.c[i];
  return e;
}

// Products of three nonzero differences this small could underflow to zero, which would break
// the claim that a zero permanent means a zero determinant.
constexpr double kTiny = 1e-100;
bool Tiny(double v) {
  return v != 0 && std::fabs(v) < kTiny;
}

}  // namespace

int Orient2dExact(double ax, double ay, double bx, double by, double cx, double cy) {
  const auto ux = FromDifference<2>(bx, ax), uy = FromDifference<2>(by, ay);
  const auto vx = FromDifference<2>(cx, ax), vy = FromDifference<2>(cy, ay);
  const auto left = Product<8>(ux, vy), right = Product<8>(uy, vx);
  return Sum<16>(left, Negated(right)).sign();
}

int Orient3dExact(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  Expansion<2> u[3], v[3], w[3];
  for (int k = 0; k < 3; ++k) {
    u[k] = FromDifference<2>(b[k], a[k]);
    v[k] = FromDifference<2>(c[k], a[k]);
    w[k] = FromDifference<2>(d[k], a[k]);
  }
  // u . (v x w), one component of the cross product at a time.
  auto minor = [&](int i, int j) {
    return Sum<16>(Product<8>(v[i], w[j]), Negated(Product<8>(v[j], w[i])));
  };
  const auto x = Product<64>(u[0], minor(1, 2));
  const auto y = Product<64>(u[1], minor(2, 0));
  const auto z = Product<64>(u[2], minor(0, 1));
  return Sum<192>(Sum<128>(x, y), z).sign();
}

int Orient2d(double ax, double ay, double bx, double by, double cx, double cy) {
  const double left = (bx - ax) * (cy - ay);
  const double right = (by - ay) * (cx - ax);
  const double det = left - right;
  const double permanent = std::fabs(left) + std::fabs(right);
  if (std::fabs(det) > kOrient2dBound * permanent) return det > 0 ? 1 : -1;
  // Every product has a factor that is exactly zero (a rounded difference is zero only when
  // its operands are equal): the determinant is exactly zero.
  if (permanent == 0 && !Tiny(bx - ax) && !Tiny(cy - ay) && !Tiny(by - ay) && !Tiny(cx - ax)) {
    return 0;
  }
  return Orient2dExact(ax, ay, bx, by, cx, cy);
}

int Orient3d(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  const double ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
  const double vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
  const double wx = d[0] - a[0], wy = d[1] - a[1], wz = d[2] - a[2];
  const double vywz = vy * wz, vzwy = vz * wy;
  const double vzwx = vz * wx, vxwz = vx * wz;
  const double vxwy = vx * wy, vywx = vy * wx;
  const double det = ux * (vywz - vzwy) + uy * (vzwx - vxwz) + uz * (vxwy - vywx);
  const double permanent = std::fabs(ux) * (std::fabs(vywz) + std::fabs(vzwy)) +
                           std::fabs(uy) * (std::fabs(vzwx) + std::fabs(vxwz)) +
                           std::fabs(uz) * (std::fabs(vxwy) + std::fabs(vywx));
  if (std::fabs(det) > kOrient3dBound * permanent) return det > 0 ? 1 : -1;
  // Points on a plane of constant x, y or z (common in CAD parts) land here: every product
  // holds an exactly zero difference.
  if (permanent == 0) {
    bool tiny = false;
    for (double value : {ux, uy, uz, vx, vy, vz, wx, wy, wz})
      tiny = tiny || Tiny(value);
    if (!tiny) return 0;
  }
  return Orient3dExact(a, b, c, d);
}

}  // namespace vexmor::cli
