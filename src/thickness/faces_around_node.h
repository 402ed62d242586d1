// The faces that contain a node, found by turning around the node from face to face across
// shared edges.
#pragma once

#include <cstdint>
#include <span>

namespace vexmor {

struct SMesh;

// On entry, entry 0 of both lists names the start face (its face index and face position).
// Each face is left by its edge from the node to the face's next node, and the face across
// that edge is appended; on a closed, consistently oriented surface the walk meets the m faces
// of the ring in order and appends the start face again at entry m (when there is room).
//
// Returns m when the walk closes. A walk that cannot close (an open or non-manifold edge, a
// face that does not hold the node, or full lists) stops and returns the number of entries it
// filled. Returns -1 when the start face's first edge is unknown (and "PB here" is printed when
// the edge list lacks it). Entry j of both lists names the same face; nothing is written at or
// past the smaller of the two list sizes, and no face outside the connectivity is read.
// Builds the edge list first when the mesh has none.
//
// With roundOnce, *roundOnce tells whether the walk closed with each face leading to exactly
// one next face: the ring is then a cycle that the walk from any of its faces lists in the same
// order, starting there.
int32_t FacesAroundNode(SMesh& mesh, int32_t node, std::span<int32_t> faceIndices,
                        std::span<int32_t> facePositions, bool* roundOnce = nullptr);

// The same walk on a mesh whose faces across each side `across` lists (SidesAcross, for the
// connectivity as it is now), read there instead of in the edge list: the same lists and
// result. The start face must be one of the mesh's faces.
int32_t FacesAroundNode(const SMesh& mesh, std::span<const int32_t> across, int32_t node,
                        std::span<int32_t> faceIndices, std::span<int32_t> facePositions,
                        bool* roundOnce = nullptr);

}  // namespace vexmor
