// The largest dihedral angle among the edges that end at each node.
#pragma once

#include <cstdint>
#include <span>

namespace vexmor {

struct SMesh;

// Writes, for every node, the largest dihedral angle (degrees) of its edges, read as
// EdgeDiedralAngle reads them. With mesh.mode 1 the result is signed: a node whose largest
// re-entrant edge angle beats its largest other edge angle reports that angle, positive; otherwise
// the largest other angle, negated (so convex corners are negative, and a tie goes to the negated
// value). A node on no edge reports -DBL_MAX, or +DBL_MAX when signed. nodeAngles holds one value
// per node; edges naming nodes beyond it are ignored. Expects a mesh accepted by the check.
void NdMaxDiedralAngle(SMesh& mesh, std::span<double> nodeAngles);

}  // namespace vexmor
