#include "mesh/triangulation.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "mesh/ear_clipping.h"
#include "mesh/edge_table.h"

namespace vexmor::cli {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

Triangulation Triangulate(const Mesh& mesh) {
  Triangulation t;
  t.faceCount = mesh.faceCount();
  t.mesh.coords = mesh.coords;
  size_t triangles = 0;
  for (size_t f = 0; f < mesh.faceCount(); ++f)
    triangles += mesh.face(f).size() >= 3 ? mesh.face(f).size() - 2 : 0;
  t.mesh.elem.reserve(4 * triangles);
  t.mesh.faceStart.reserve(triangles);
  t.triangleFace.reserve(triangles);
  // The mesh's edges and, as they are drawn, the diagonals.
  EdgeTable lines(mesh.closedEdgeCount() + triangles);
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    for (size_t i = 0; i < nodes.size(); ++i)
      lines.insert(nodes[i], nodes[(i + 1) % nodes.size()]);
  }
  const std::function<bool(int32_t, int32_t)> isLine = [&](int32_t a, int32_t b) {
    return lines.find(a, b) >= 0;
  };
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    if (nodes.size() == 3) {
      t.mesh.addFace(nodes);
      t.triangleFace.push_back(f);
      continue;
    }
    const FaceSplit split = SplitFace(mesh, nodes, isLine);
    if (split.folded) ++t.foldedFaces;
    if (nodes.size() == 4 && !split.triangles.empty() && split.triangles[0][0] != nodes[0]) {
      ++t.quadsOtherDiagonal;
    }
    for (const auto& triangle : split.triangles) {
      t.mesh.addFace({triangle[0], triangle[1], triangle[2]});
      t.triangleFace.push_back(f);
      for (int k = 0; k < 3; ++k)
        lines.insert(triangle[k], triangle[(k + 1) % 3]);
    }
  }
  return t;
}

std::vector<double> FoldMinimum(const Triangulation& t, std::span<const double> values) {
  std::vector<double> out(t.faceCount, kNaN);
  for (size_t i = 0; i < values.size() && i < t.triangleFace.size(); ++i) {
    double& v = out[t.triangleFace[i]];
    if (values[i] < v || std::isnan(v)) v = values[i];
  }
  return out;
}

std::vector<double> FoldMean(const Triangulation& t, std::span<const double> values) {
  std::vector<double> sum(t.faceCount, 0.0);
  std::vector<size_t> count(t.faceCount, 0);
  for (size_t i = 0; i < values.size() && i < t.triangleFace.size(); ++i) {
    sum[t.triangleFace[i]] += values[i];
    ++count[t.triangleFace[i]];
  }
  for (size_t f = 0; f < sum.size(); ++f)
    sum[f] = count[f] > 0 ? sum[f] / static_cast<double>(count[f]) : kNaN;
  return sum;
}

std::vector<double> FoldAreaWeightedMean(const Triangulation& t, std::span<const double> values) {
  std::vector<double> sum(t.faceCount, 0.0), area(t.faceCount, 0.0), first(t.faceCount, kNaN);
  for (size_t i = 0; i < values.size() && i < t.triangleFace.size(); ++i) {
    const size_t f = t.triangleFace[i];
    const double a = FaceArea(t.mesh, i);
    sum[f] += a * values[i];
    area[f] += a;
    if (std::isnan(first[f])) first[f] = values[i];
  }
  for (size_t f = 0; f < sum.size(); ++f)
    sum[f] = area[f] > 0 ? sum[f] / area[f] : first[f];
  return sum;
}

std::vector<double> ExpandToTriangles(const Triangulation& t, std::span<const double> faceValues) {
  std::vector<double> out(t.triangleFace.size(), kNaN);
  for (size_t i = 0; i < out.size(); ++i) {
    if (t.triangleFace[i] < faceValues.size()) out[i] = faceValues[t.triangleFace[i]];
  }
  return out;
}

void DropSplitDiagonals(const Mesh& mesh, std::vector<int32_t>& edgeNodes,
                        std::vector<double>& values) {
  EdgeTable edges(mesh.closedEdgeCount());
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    for (size_t i = 0; i < nodes.size(); ++i)
      edges.insert(nodes[i], nodes[(i + 1) % nodes.size()]);
  }
  size_t kept = 0;
  for (size_t e = 0; e < values.size() && 2 * e + 1 < edgeNodes.size(); ++e) {
    const int32_t a = edgeNodes[2 * e], b = edgeNodes[2 * e + 1];
    if (edges.find(a, b) < 0) continue;
    edgeNodes[2 * kept] = a;
    edgeNodes[2 * kept + 1] = b;
    values[kept++] = values[e];
  }
  edgeNodes.resize(2 * kept);
  values.resize(kept);
}

}  // namespace vexmor::cli
