// Three-component vectors in double precision, loaded from and stored to plain arrays.
#pragma once

#include <cmath>

namespace vexmor {

struct Vec3 {
  double x, y, z;

  static Vec3 Load(const double* p) { return {p[0], p[1], p[2]}; }
  void Store(double* p) const {
    p[0] = x;
    p[1] = y;
    p[2] = z;
  }
  double operator[](int k) const { return k == 0 ? x : (k == 1 ? y : z); }
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator-(Vec3 a) {
  return {-a.x, -a.y, -a.z};
}
inline Vec3 operator*(Vec3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(double s, Vec3 a) {
  return {s * a.x, s * a.y, s * a.z};
}
inline Vec3 operator/(Vec3 a, double s) {
  return {a.x / s, a.y / s, a.z / s};
}

inline double Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double SquaredLength(Vec3 a) {
  return Dot(a, a);
}
inline double Length(Vec3 a) {
  return std::sqrt(Dot(a, a));
}

}  // namespace vexmor
