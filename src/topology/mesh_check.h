// Whether a mesh is fit for analysis; on a fit mesh, turns every closed volume outwards.
#pragma once

#include <cstdint>

namespace vexmor {

struct SMesh;

// Defect bits of the check's answer; 0 means the mesh is accepted.
inline constexpr int32_t kCheckBoundaryEdge = 1;     // an edge used by one face: open surface
inline constexpr int32_t kCheckNonManifoldEdge = 2;  // an edge used by more than two faces
inline constexpr int32_t kCheckQuadrilateral = 4;    // a face of four nodes
inline constexpr int32_t kCheckOtherFace = 8;        // a face of neither three nor four nodes

// What the analysis after the check reads of the edges.
enum class EdgesAfterCheck {
  // The edge list as the check built it, before the orientation turned any face.
  kChecksEdgeList,
  // Nothing of the check's: it brings up to date, or builds, whatever it reads (RebuildEdgeHash,
  // the table of the faces across each side while no face was turned). A closed surface of
  // triangles is then checked without an edge list at all (MatchedSidesAcross).
  kOwn,
};

// Returns the defect bits of the mesh; on a fit mesh, first turns every volume outwards and
// prints the volumes found.
int32_t Checking_SMesh(SMesh& mesh, EdgesAfterCheck after = EdgesAfterCheck::kChecksEdgeList);

}  // namespace vexmor
