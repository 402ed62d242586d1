// The sphere and contact methods on refined triangles: the program splits the triangles that
// are long or large for the local thickness (see refinement.h) before calling the library, so
// that tangent points spread over every face, and folds the pieces' values back onto the faces
// of the file. The local thickness comes from a ray thickness call on the unrefined
// triangles, which costs a small part of a sphere call.
#pragma once

#include <span>
#include <vector>

#include "analysis/library_calls.h"
#include "mesh/refinement.h"

namespace vexmor::cli {

struct PieceThickness {
  Refinement refinement;         // the pieces, and the triangle each lies in
  std::vector<double> values;    // per piece, file units
  std::vector<double> areas;     // per piece
  std::vector<uint32_t> face;    // per piece, the face of the file it lies in
  std::vector<double> diameter;  // contact method only: each piece's sphere diameter
};

// Refines the mesh's triangles and measures the pieces. With `outside`, the contact method
// measures the space around the part as the library does, and the sphere diameters that go
// with it come from the pieces inside a box twice the size of the node box.
PieceThickness MeasureRefined(const Library& library, ThicknessMethod method, bool outside);

// Per face of the file: the area-weighted mean of its pieces' values, NaN ones left out; NaN
// where no piece of the face has a value.
std::vector<double> FoldPiecesByArea(const PieceThickness& pieces, size_t faceCount,
                                     std::span<const double> values);

// The mesh with a box appended as its last 8 nodes and 12 triangles: twice the size of the
// mesh's node box, about the same centre, wound outwards.
Mesh WithEnclosingBox(const Mesh& mesh);

}  // namespace vexmor::cli
