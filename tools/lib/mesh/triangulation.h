// Splitting faces into triangles for the library functions that do not take them as they are,
// and folding the triangles' results back onto the faces they came from.
//
// Each face is split in its own plane by ear clipping (see ear_clipping.h), so that no
// triangle folds over another even where the face is not convex. A quadrilateral keeps the
// split along its first-to-third diagonal, the one the library makes itself, wherever that
// diagonal lies inside it: results then do not depend on which side split the face. It is split
// along its other diagonal where the first one lies outside (a non-convex quadrilateral whose
// reflex corner is its second or fourth), or where the first one would run along an edge of
// the mesh or a diagonal already drawn in another face (two quadrilaterals folded around a
// node that only they share): that would leave an edge with four triangles, which no analysis
// takes. Faces of five or more nodes avoid such diagonals in the same way where they can.
#pragma once

#include <span>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

struct Triangulation {
  Mesh mesh;                         // the same nodes; triangles only
  std::vector<size_t> triangleFace;  // the face of the split mesh that each triangle comes from
  size_t faceCount = 0;              // faces of the mesh that was split
  size_t quadsOtherDiagonal = 0;     // quadrilaterals split along the second-to-fourth diagonal
  size_t foldedFaces = 0;            // faces no split of which avoids a folded triangle
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
