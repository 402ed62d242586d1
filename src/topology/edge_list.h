// The edge list of a mesh: every edge with its first two faces and its face count, in the
// order the faces first meet it.
#pragma once

#include <array>
#include <cstdint>

namespace vexmor {

struct SMesh;

// Rebuilds mesh.edgeHash from the connectivity: faces in order, each face's sides from node 0.
// A side seen again adds its face as second face, or only raises the count from the third on.
void BuildEdgeHash(SMesh& mesh);

// (defect flag, boundary edges, non-manifold edges): edges with one face, edges with more than
// two. Builds the edge list first when it holds no edge.
std::array<int32_t, 3> CountBoundaryEdges(SMesh& mesh);

}  // namespace vexmor
