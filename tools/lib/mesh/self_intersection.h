// Where a surface crosses itself or another shell: every pair of triangles that share no
// node is tested with exact orientation tests, the candidates coming from a tree of triangle
// boxes so that a million triangles are checked in seconds.
//
// Two triangles cross when their intersection is a segment of positive length through both:
// each has corners strictly on both sides of the other's plane and the two pieces of the
// line where the planes meet overlap by more than a point. Triangles that only touch (a
// corner or an edge on the other, surfaces meeting along a line) do not cross. Two triangles
// in one plane overlap when their interiors share some area: a face lying on another.
// Triangles that share a node (neighbours, or a face's own triangles) are never a pair.
#pragma once

#include <cstdint>
#include <functional>

#include "mesh/mesh.h"

namespace vexmor::cli {

enum class TriangleContact { kNone, kCrossing, kOverlapping };

// The contact of the triangles a1 b1 c1 and a2 b2 c2, exactly. Triangles without area
// (collinear corners) never cross nor overlap.
TriangleContact ContactOfTriangles(const Vec3& a1, const Vec3& b1, const Vec3& c1, const Vec3& a2,
                                   const Vec3& b2, const Vec3& c2);

// Calls `found(t1, t2, contact)` (t1 < t2, triangle numbers of `triangles`) for every pair
// of triangles of the mesh that cross or overlap, in no particular order. Faces of other
// than three nodes are passed over. `sameFace(t1, t2)` may say that two triangles are parts
// of one face, which are never a pair; it may be empty.
void FindTriangleContacts(const Mesh& triangles,
                          const std::function<bool(size_t, size_t)>& sameFace,
                          const std::function<void(size_t, size_t, TriangleContact)>& found);

}  // namespace vexmor::cli
