// The thickness gradient where some faces have no thickness. The library compares a face with
// every face that shares a node with it, a neighbour without thickness (given as 0) counting
// as a change of exactly 1 (|0 - t| / t), and gives a face without thickness 0, as if nothing
// changed there. Missing is not zero: this takes the missing neighbours out of each mean and
// leaves the faces without thickness without a gradient (NaN).
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

// `gradient`: the library's values on the triangles of `mesh`, computed with 0 as the
// thickness of every face flagged in `missing`. A face whose neighbours are all missing gets
// NaN too. Around a node of more than 999 faces the library compares only some of them, so the
// faces there keep the library's value.
void DiscountMissingNeighbours(const Mesh& mesh, const std::vector<uint8_t>& missing,
                               std::vector<double>& gradient);

}  // namespace vexmor::cli
