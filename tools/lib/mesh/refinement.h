// Refining triangles so that the sphere methods, which measure each triangle at one tangent
// point (its incircle centre), sample the whole of each face: a long thin triangle has its
// incircle centre near one end, by an edge, where the largest tangent ball is small, and that
// one value would stand for the whole face.
//
// The rule: a triangle is split while its longest edge is longer than a sixth of the local
// thickness scale, so that no tangent point stands for more than a sixth of the wall it lies
// on (the area-weighted mean of the largest tangent ball then comes within about 0.5 % of its
// exact value on cubes, prisms, cylinders and plates). The scale is the ray thickness, which
// the library measures at each triangle's incircle centre too, so it is taken in two passes:
// first each triangle is split to a sixth of its own ray thickness but no finer than an eighth
// of the part's size (one ray from the end of a long triangle says little about the rest of
// it); then the ray thickness of every piece, or that of a thinner
// piece plus the distance to it if that is smaller (the rim of a plate is held by the plate's two
// faces, not by the far end across it), sets the length that piece is split to.
//
// Splitting halves every edge that is too long and splits each triangle along its halved edges,
// the longest first, so the surface stays closed and no piece is much thinner than the
// triangle it comes from. It goes in rounds, each halving the edges still too long all over the
// part, and stops before a round would take the number of pieces over a cap: twice the input's
// triangles or 100 000, whichever is more, so a million-triangle mesh at most doubles.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

// The longest edge allowed, as a share of the local thickness scale.
constexpr double kRefineThicknessShare = 1.0 / 6;
// The finest the first pass goes, as a share of the part's size.
constexpr double kFirstPassPartShare = 1.0 / 8;
// The finest any piece is split to, as a share of the part's size: towards the tip of a wedge
// the thickness goes to zero, and the pieces there would take all the cap.
constexpr double kFinestPartShare = 1.0 / 1000;
// The cap on the pieces: this many times the input's triangles, or kRefineMinimumCap.
constexpr size_t kRefineCapFactor = 2;
constexpr size_t kRefineMinimumCap = 100000;
size_t RefinementCap(size_t triangles);

struct Refinement {
  Mesh mesh;                   // the pieces: the input's nodes first, then the new ones
  std::vector<uint32_t> from;  // for each piece, the input triangle it lies in
  size_t rounds = 0;           // rounds of splitting made
  bool capped = false;         // a further round would have gone over the cap
};

// How long the edges of a piece may be. Per input triangle, either one length for the whole
// of it, or the smallest over the triangle and its neighbours across edges of their length
// plus kRefineThicknessShare times the distance to them (the thickness scale grows no faster
// than the distance from a thinner place), so that a thin spot refines only what lies near it;
// never less than `finest`.
struct EdgeLengths {
  std::vector<double> length;                      // per input triangle
  std::vector<std::array<Vec3, 3>> corners;        // per input triangle; empty: one length
  std::vector<std::array<uint32_t, 3>> neighbour;  // across each edge; kNoNeighbour for none
  double finest = 0;
  static constexpr uint32_t kNoNeighbour = 0xffffffffu;
  double at(uint32_t triangle, const Vec3& point) const;
};

// The first pass: kRefineThicknessShare of each triangle's own thickness (finite and positive,
// else the part's size), but at least kFirstPassPartShare of the part's size, over the whole
// triangle.
EdgeLengths FirstPassLengths(const Mesh& triangles, std::span<const double> thickness);
// The second pass: kRefineThicknessShare of each triangle's thickness, or of a thinner
// triangle's plus the distance to it, whichever is smaller, varying over the triangle as
// EdgeLengths says, and no less than kFinestPartShare of the part's size.
EdgeLengths RefinementLengths(const Mesh& triangles, std::span<const double> thickness);

// Splits the triangles of a closed mesh of triangles until no piece has an edge longer than
// its length, or a further round would give more than `cap` pieces (0: RefinementCap of the
// input). A mesh with another face than a triangle, or with an edge of three triangles or
// more, is returned unchanged.
Refinement RefineTriangles(const Mesh& triangles, const EdgeLengths& lengths, size_t cap = 0);

// The second refinement of a first one's pieces, given as counted from the first one's input.
Refinement Compose(const Refinement& first, Refinement second);

}  // namespace vexmor::cli
