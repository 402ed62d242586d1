// Splitting faces into triangles for the library functions that do not take them as they are,
// and folding the triangles' results back onto the faces they came from.
//
// A face of n >= 4 nodes becomes the fan from its first node: (0, 1, 2), (0, 2, 3), ...,
// (0, n - 2, n - 1). For a quadrilateral that is the split along its first-to-third diagonal,
// the one the library makes itself, so a result does not depend on which side split the face.
// Where a diagonal of that fan would run along an edge of the mesh, or along a diagonal
// already drawn in another face (two quadrilaterals folded around a node that only they
// share), the split would leave an edge with four triangles, which no analysis takes: such a
// face is fanned from the next node whose diagonals are all new (of its first eight).
#pragma once

#include <span>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

struct Triangulation {
  Mesh mesh;                         // the same nodes; triangles only
  std::vector<size_t> triangleFace;  // the face of the split mesh that each triangle comes from
  size_t faceCount = 0;              // faces of the mesh that was split
  size_t movedFans = 0;              // faces fanned from another node than their first
};
Triangulation Triangulate(const Mesh& mesh);

// Per-face values from per-triangle values. A face that gave no triangle reads NaN.
// The smallest value of the face's triangles, NaN ignored (thickness).
std::vector<double> FoldMinimum(const Triangulation& t, std::span<const double> values);
// The plain mean of the face's triangles (gradient).
std::vector<double> FoldMean(const Triangulation& t, std::span<const double> values);
// The mean weighted by triangle area; a face without area takes its first triangle's value
// (draft).
std::vector<double> FoldAreaWeightedMean(const Triangulation& t, std::span<const double> values);

// Each triangle takes the value of its face (a face's thickness handed to the gradient).
std::vector<double> ExpandToTriangles(const Triangulation& t, std::span<const double> faceValues);

// Keeps the edges (two nodes each in edgeNodes, one value each in values) that are edges of
// the faces of `mesh`, dropping the diagonals that splitting them added.
void DropSplitDiagonals(const Mesh& mesh, std::vector<int32_t>& edgeNodes,
                        std::vector<double>& values);

}  // namespace vexmor::cli
