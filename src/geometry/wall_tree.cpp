#include "geometry/wall_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/face_frame.h"
#include "geometry/float_bounds.h"
#include "geometry/normalize.h"
#include "geometry/vec3.h"
#include "mesh/reorder.h"

namespace vexmor {
namespace {

// One over the smallest altitude of a triangle, (longest edge) / (twice its area): infinite for
// a degenerate one.
double Sliver(const double tri[9]) {
  const Vec3 a = Vec3::Load(tri), b = Vec3::Load(tri + 3), c = Vec3::Load(tri + 6);
  const double twiceArea = Length(Cross(b - a, c - a));
  const double longest = std::max({Length(b - a), Length(c - a), Length(c - b)});
  const double sliver = longest / twiceArea;
  return sliver >= 0.0 && sliver < INFINITY ? sliver : INFINITY;
}

// The longest side of the box of a triangle's nodes.
double Extent(const double tri[9]) {
  double extent = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double lo = std::min({tri[k], tri[3 + k], tri[6 + k]});
    const double hi = std::max({tri[k], tri[3 + k], tri[6 + k]});
    extent = std::max(extent, hi - lo);
  }
  return extent;
}

// The midpoint of the box of a triangle's nodes along axis k.
double Middle(const double tri[9], int k) {
  const double lo = std::min({tri[k], tri[3 + k], tri[6 + k]});
  const double hi = std::max({tri[k], tri[3 + k], tri[6 + k]});
  return 0.5 * (lo + hi);
}

}  // namespace

WallTree::WallTree(const AdtTree& tree, const SMesh& mesh) {
  double magnitude = 0.0;
  {
    // Every node once, in the listing order, with what any cube search needs to list it.
    AdtRangeF everything;
    for (int i = 0; i < 6; ++i) {
      everything.low[i] = -std::numeric_limits<float>::infinity();
      everything.high[i] = std::numeric_limits<float>::infinity();
    }
    AdtReachResult listed;
    listed.reserve(tree.nodes.size());
    AdtSearchReach(tree, everything, listed);
    faces_.reserve(listed.size());
    reach_.reserve(listed.size());
    bounds_.reserve(listed.size());
    for (size_t r = 0; r < listed.size(); ++r) {
      WallFace face;
      face.faceIndex = listed[r].faceIndex;
      face.rank = static_cast<int32_t>(r);
      if (!LoadFaceTriangle(mesh, listed[r].facePos, 0, face.tri)) continue;
      double second[9];
      if (LoadFaceTriangle(mesh, listed[r].facePos, 1, second)) wholeFaces_ = false;
      // Compute_FaceNormal's arithmetic; its trace line is the visitor's, at each visit.
      const Vec3 a = Vec3::Load(face.tri), b = Vec3::Load(face.tri + 3),
                 c = Vec3::Load(face.tri + 6);
      Cross(b - a, c - a).Store(face.normal);
      face.degenerate = Normalize(face.normal);
      for (const double v : face.tri) {
        if (!(std::fabs(v) <= magnitude)) magnitude = std::fabs(v);
      }
      const double centre[3] = {Middle(face.tri, 0), Middle(face.tri, 1), Middle(face.tri, 2)};
      CylinderFit fit(centre, face.normal);
      fit.AddTriangle(face.tri, face.degenerate ? INFINITY : Sliver(face.tri));
      const WallCylinder cylinder = fit.Result();
      FaceBound bound;
      for (int k = 0; k < 3; ++k) {
        bound.centre[k] = cylinder.centre[k];
        bound.axis[k] = cylinder.axis[k];
      }
      bound.radius = FloatAbove(cylinder.radius);
      bound.low = FloatBelow(cylinder.low);
      bound.high = FloatAbove(cylinder.high);
      bound.sliver = FloatAbove(cylinder.sliver);
      faces_.push_back(face);
      reach_.push_back(listed[r]);
      bounds_.push_back(bound);
    }
  }
  magnitude_ = magnitude;
  if (faces_.empty()) return;

  order_.resize(faces_.size());
  for (size_t i = 0; i < order_.size(); ++i)
    order_[i] = static_cast<int32_t>(i);
  shapes_.resize(faces_.size());
  for (size_t i = 0; i < faces_.size(); ++i) {
    const double* tri = faces_[i].tri;
    Shape& shape = shapes_[i];
    for (int k = 0; k < 3; ++k)
      shape.middle[k] = Middle(tri, k);
    shape.extent = Extent(tri);
    const Vec3 a = Vec3::Load(tri), b = Vec3::Load(tri + 3), c = Vec3::Load(tri + 6);
    Cross(b - a, c - a).Store(shape.cross);
  }
  // Halved groups leave more than half of kLeafFaces faces to a leaf, and a tree has fewer
  // than twice as many nodes as leaves; the few groups of large faces may add some.
  const size_t leaves = faces_.size() / ((kLeafFaces + 1) / 2) + 1;
  nodes_.reserve(2 * leaves);
  parent_.reserve(2 * leaves);
  leafOf_.assign(faces_.size(), 0);
  Build(0, static_cast<int32_t>(faces_.size()), -1, 0);
  shapes_.clear();
  shapes_.shrink_to_fit();

  // The faces in tree order, so that a group's faces lie together; one array at a time.
  ReorderInPlace(faces_, order_);
  ReorderInPlace(reach_, order_);
  ReorderInPlace(bounds_, order_);
  order_.clear();
  order_.shrink_to_fit();
}

int32_t WallTree::Build(int32_t first, int32_t count, int32_t parent, int32_t depth) {
  const int32_t index = static_cast<int32_t>(nodes_.size());
  nodes_.emplace_back();
  parent_.push_back(parent);
  auto faceAt = [&](int32_t i) -> const WallFace& {
    return faces_[static_cast<size_t>(order_[static_cast<size_t>(i)])];
  };
  auto shapeAt = [&](int32_t i) -> const Shape& {
    return shapes_[static_cast<size_t>(order_[static_cast<size_t>(i)])];
  };

  double box[6], axis[3] = {0.0, 0.0, 0.0};
  for (int k = 0; k < 3; ++k) {
    box[k] = INFINITY;
    box[k + 3] = -INFINITY;
  }
  for (int32_t i = first; i < first + count; ++i) {
    const WallFace& face = faceAt(i);
    const double* cross = shapeAt(i).cross;  // the summed normal weighs faces by area
    for (int k = 0; k < 3; ++k)
      axis[k] += cross[k];
    // Comparisons written so that a value that is not a number reaches the bounds.
    for (int v = 0; v < 9; ++v) {
      const int k = v % 3;
      if (!(face.tri[v] >= box[k])) box[k] = face.tri[v];
      if (!(face.tri[v] <= box[k + 3])) box[k + 3] = face.tri[v];
    }
  }
  bool finiteBox = true;
  for (int k = 0; k < 3; ++k) {
    finiteBox =
        finiteBox && box[k] <= box[k + 3] && std::isfinite(box[k]) && std::isfinite(box[k + 3]);
  }
  if (!finiteBox) {  // no bound
    for (int k = 0; k < 3; ++k) {
      box[k] = -INFINITY;
      box[k + 3] = INFINITY;
    }
  }
  double centre[3];
  for (int k = 0; k < 3; ++k)
    centre[k] = finiteBox ? 0.5 * (box[k] + box[k + 3]) : 0.0;
  NormalizeOrDefault(axis);
  CylinderFit fit(centre, axis);
  double coneCosine = 1.0;  // the cone of the normals around the axis
  for (int32_t i = first; i < first + count; ++i) {
    const size_t j = static_cast<size_t>(order_[static_cast<size_t>(i)]);
    fit.AddTriangle(faces_[j].tri, bounds_[j].sliver);
    const double* n = faces_[j].normal;
    const double cosine = axis[0] * n[0] + axis[1] * n[1] + axis[2] * n[2];
    if (!(cosine >= coneCosine)) coneCosine = cosine;  // not a number: no cone
  }
  const WallCylinder cylinder = fit.Result();
  // A failed fit keeps the default axis, which the cone was not measured around.
  const bool sameAxis =
      cylinder.axis[0] == axis[0] && cylinder.axis[1] == axis[1] && cylinder.axis[2] == axis[2];
  if (std::isnan(coneCosine) || !sameAxis) coneCosine = -1.0;

  Node node;
  for (int k = 0; k < 3; ++k) {
    node.centre[k] = cylinder.centre[k];
    node.axis[k] = cylinder.axis[k];
    node.box[k] = FloatBelow(box[k]);
    node.box[k + 3] = FloatAbove(box[k + 3]);
  }
  node.radius = FloatAbove(cylinder.radius);
  node.low = FloatBelow(cylinder.low);
  node.high = FloatAbove(cylinder.high);
  node.sliver = FloatAbove(cylinder.sliver);
  node.coneCosine = FloatBelow(coneCosine);
  node.first = first;
  node.count = count;

  if (count > kLeafFaces) {
    auto begin = order_.begin() + first;
    // A few faces large against the group go apart from the others: in a leaf among small
    // faces, a large one would widen the bounds of every group on its way up (the enclosing box
    // of an outside analysis, long slivers across flat walls). Bounded in depth, as each such
    // split may take off a single face.
    int32_t large = 0;
    if (finiteBox && depth < kMaxSizeSplits) {
      const double extent = std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]});
      const auto isLarge = [&](int32_t face) {
        return shapes_[static_cast<size_t>(face)].extent > kLargeFaceFraction * extent;
      };
      large = static_cast<int32_t>(std::partition(begin, begin + count, isLarge) - begin);
    }
    // Only a few outliers are worth a split of their own; sizes that vary throughout (a small
    // group, where each face spans a good part of it) are left to the halving.
    int32_t firstCount = large;
    if (large == 0 || large > count / kFewLargeFaces) {
      // Halve the group across the longest extent of its faces' midpoints.
      double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
      for (int32_t i = first; i < first + count; ++i) {
        for (int k = 0; k < 3; ++k) {
          const double m = shapeAt(i).middle[k];
          lo[k] = std::min(lo[k], m);
          hi[k] = std::max(hi[k], m);
        }
      }
      int split = 0;
      for (int k = 1; k < 3; ++k) {
        if (hi[k] - lo[k] > hi[split] - lo[split]) split = k;
      }
      auto key = [&](int32_t face) {
        const double m = shapes_[static_cast<size_t>(face)].middle[split];
        return std::isnan(m) ? -INFINITY : m;  // a strict order, whatever the coordinates
      };
      std::nth_element(begin, begin + count / 2, begin + count,
                       [&](int32_t a, int32_t b) { return key(a) < key(b); });
      firstCount = count / 2;
    }
    Build(first, firstCount, index, depth + 1);
    node.second = Build(first + firstCount, count - firstCount, index, depth + 1);
  } else {
    for (int32_t i = first; i < first + count; ++i)
      leafOf_[static_cast<size_t>(i)] = index;
  }
  nodes_[static_cast<size_t>(index)] = node;
  return index;
}

}  // namespace vexmor
