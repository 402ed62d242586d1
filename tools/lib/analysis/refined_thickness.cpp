#include "analysis/refined_thickness.h"

#include <cmath>
#include <limits>

namespace vexmor::cli {

Mesh WithEnclosingBox(const Mesh& mesh) {
  const Box box = NodeBox(mesh);
  Vec3 lo, hi;
  for (int k = 0; k < 3; ++k) {
    const double centre = 0.5 * (box.lo[k] + box.hi[k]);
    const double half = box.hi[k] - box.lo[k];  // twice the half extent
    lo[k] = centre - half;
    hi[k] = centre + half;
  }
  Mesh boxed = mesh;
  const auto first = static_cast<int32_t>(boxed.nodeCount());
  for (int corner = 0; corner < 8; ++corner) {
    boxed.addNode(corner & 1 ? hi[0] : lo[0], corner & 2 ? hi[1] : lo[1],
                  corner & 4 ? hi[2] : lo[2]);
  }
  // Corner c has x from bit 0, y from bit 1, z from bit 2; each side as two triangles wound
  // so that their normals point away from the box.
  const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& s : sides) {
    boxed.addFace({first + s[0], first + s[1], first + s[2]});
    boxed.addFace({first + s[0], first + s[2], first + s[3]});
  }
  return boxed;
}

PieceThickness MeasureRefined(const Library& library, ThicknessMethod method, bool outside) {
  PieceThickness p;
  const Mesh& triangles = library.triangles();
  // The local thickness scale: the ray thickness of each triangle (the space around the part
  // for --outside, where a negative value is the distance to the enclosing box).
  auto ray = [&](const Mesh& m) {
    std::vector<double> values =
        library.thicknessOf(m, ThicknessMethod::kRay, outside, " for the refinement");
    for (double& v : values)
      v = std::fabs(v);
    return values;
  };
  const size_t cap = RefinementCap(triangles.faceCount());
  const Refinement first =
      RefineTriangles(triangles, FirstPassLengths(triangles, ray(triangles)), cap);
  p.refinement = Compose(
      first, RefineTriangles(first.mesh, RefinementLengths(first.mesh, ray(first.mesh)), cap));
  const Mesh& pieces = p.refinement.mesh;
  p.values = library.thicknessOf(pieces, method, outside, " of the refined pieces");
  if (method == ThicknessMethod::kContact) {
    if (outside) {
      std::vector<double> boxed = library.thicknessOf(
          WithEnclosingBox(pieces), ThicknessMethod::kSphere, true, " of the refined pieces");
      boxed.resize(pieces.faceCount());
      p.diameter = std::move(boxed);
    } else {
      p.diameter =
          library.thicknessOf(pieces, ThicknessMethod::kSphere, false, " of the refined pieces");
    }
  }
  p.areas = FaceAreas(pieces);
  p.face.resize(pieces.faceCount());
  for (size_t i = 0; i < p.face.size(); ++i)
    p.face[i] = static_cast<uint32_t>(library.faceOfTriangle(p.refinement.from[i]));
  return p;
}

std::vector<double> FoldPiecesByArea(const PieceThickness& pieces, size_t faceCount,
                                     std::span<const double> values) {
  // A face without area weighs its pieces equally.
  std::vector<double> weighted(faceCount, 0.0), area(faceCount, 0.0), plain(faceCount, 0.0);
  std::vector<size_t> count(faceCount, 0);
  for (size_t i = 0; i < values.size() && i < pieces.face.size(); ++i) {
    if (std::isnan(values[i])) continue;
    const size_t f = pieces.face[i];
    weighted[f] += pieces.areas[i] * values[i];
    area[f] += pieces.areas[i];
    plain[f] += values[i];
    ++count[f];
  }
  std::vector<double> out(faceCount, std::numeric_limits<double>::quiet_NaN());
  for (size_t f = 0; f < faceCount; ++f) {
    if (count[f] == 0) continue;
    out[f] = area[f] > 0 ? weighted[f] / area[f] : plain[f] / static_cast<double>(count[f]);
  }
  return out;
}

}  // namespace vexmor::cli
