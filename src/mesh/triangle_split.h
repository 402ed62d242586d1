// Quadrilaterals split into triangles, the enclosing box of the analyses of the space around a
// part, and per-triangle results folded back to the caller's faces.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/large_array.h"

namespace vexmor {

struct SMesh;

// Splits every quadrilateral (a, b, c, d) into (a, b, c) and (a, c, d) and records in triFace
// the caller face of each triangle; keeps the caller's connectivity in origElem. Returns 0 when
// the mesh holds only triangles and quadrilaterals (a mesh of triangles only is left as it is),
// 1 when the connectivity is empty, holds a face of any other node count, or would split into
// more entries than 32-bit counts hold (left unchanged in every case).
uint8_t SetFullTrias(SMesh& mesh);

// Appends 8 corner nodes and 12 outward triangles of a box twice the size of the node box,
// about the same centre. Recomputes bbox in its wide form. Returns 0, or 1 without a change
// when the node or entry counts would no longer fit in 32 bits.
int32_t AppendEnclosingBox(SMesh& mesh);

// How the values of a caller face's triangles are folded into one.
enum class TriangleFold : uint8_t {
  kMinimum = 1,  // the thinnest triangle
  kMean = 3,     // the mean over the face's triangles
};

// One value per caller face from one value per triangle (the box triangles of an outside
// analysis excluded), or an empty array when nothing was split.
LargeVector<double> MapTriangleResults(const SMesh& mesh, std::span<const double> values,
                                       TriangleFold rule);

}  // namespace vexmor
