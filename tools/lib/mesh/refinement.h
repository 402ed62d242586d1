// Refining triangles so that the sphere methods, which measure each triangle at one tangent
// point (its incircle centre), sample the whole of each face: a long thin triangle has its
// incircle centre near one end, by an edge, where the largest tangent ball is small, and that
// one value would stand for the whole face.
//
// The rule: a triangle is split while its longest edge is longer than a quarter of the local
// thickness scale (the ray thickness of the triangle it came from, or the part's size where the
// ray found no wall), so that no tangent point stands for more than a quarter of the wall it
// lies on. Splitting bisects the longest edge (longest-edge bisection, which never makes
// triangles much thinner than those it starts from), and a triangle whose edge a neighbour
// split is split along that edge too, so the surface stays closed. The splitting goes in
// rounds, each halving the edges that are still too long all over the part, and stops before
// a round would take the number of triangles over a cap: at most twice the input's triangles
// or 100 000, whichever is more, so a million-triangle mesh at most doubles.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

// The longest edge allowed, as a share of the local thickness scale.
constexpr double kRefineThicknessShare = 0.25;
// The cap on the refined triangles: this many times the input's, or kRefineMinimumCap.
constexpr size_t kRefineCapFactor = 2;
constexpr size_t kRefineMinimumCap = 100000;

struct Refinement {
  Mesh mesh;                   // the pieces: the input's nodes first, then the new ones
  std::vector<uint32_t> from;  // for each piece, the input triangle it lies in
  size_t rounds = 0;           // rounds of splitting made
  bool capped = false;         // a further round would have gone over the cap
};

// The longest edge allowed on each triangle: kRefineThicknessShare of its local thickness
// (finite and positive) or of the part's size otherwise.
std::vector<double> RefinementTargets(const Mesh& triangles, std::span<const double> thickness);

// Splits the triangles of a closed mesh of triangles until every edge is no longer than the
// target of each triangle that holds it, or the cap is reached. A mesh with another face
// than a triangle, or with an edge of three triangles or more, is returned unchanged.
Refinement RefineTriangles(const Mesh& triangles, std::span<const double> targetLength);

}  // namespace vexmor::cli
