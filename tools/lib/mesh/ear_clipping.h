// Splitting one face of any node count into triangles in its own plane, so that no triangle
// folds over the others: ear clipping on the face projected along its mean normal.
//
// The face is projected onto the coordinate plane most nearly parallel to it (its vector
// area's largest component picks the axis that is dropped), which keeps the coordinates
// exact, so every turn is decided by the exact orientation test. An ear is a corner that
// turns the face's way and holds no other corner of the face inside or on its triangle;
// corners with the same position as one of the ear's are passed over, so faces that touch
// themselves at a node, repeat a node or hold several nodes on one line still split. Of the
// ears at hand, the one whose triangle is the least thin is clipped first, and an ear whose
// closing diagonal is already a line of the mesh only when no other ear is left.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

// The plane a face is split in: the two coordinates kept, in the order that makes the face
// turn counter-clockwise.
struct FacePlane {
  int u = 0, v = 1;
  bool flat = false;  // the face has no vector area: its turn is undefined
};
FacePlane PlaneOfFace(const Mesh& mesh, std::span<const int32_t> nodes);

// True when every corner of the face turns its way in its plane (a corner on a straight line
// counts as turning neither way, which does not make a face non-convex).
bool IsConvexFace(const Mesh& mesh, std::span<const int32_t> nodes);

struct FaceSplit {
  std::vector<std::array<int32_t, 3>> triangles;  // node numbers, in the face's winding
  bool folded = false;  // no split without a folded triangle was found (a face that crosses
                        // itself); a face touching itself at a node may need flat ones
};

// Faces of more nodes than this are fanned from their first node: ear clipping costs up to
// the square of the node count, and faces this large are caps of round parts, convex.
constexpr size_t kMaxEarClippingNodes = 4096;

// `isLine(a, b)`: whether nodes a and b are already joined by an edge or a diagonal of the
// mesh, so that a diagonal between them would give that line a third or fourth triangle.
// May be empty (no line is avoided).
FaceSplit SplitFace(const Mesh& mesh, std::span<const int32_t> nodes,
                    const std::function<bool(int32_t, int32_t)>& isLine);

}  // namespace vexmor::cli
