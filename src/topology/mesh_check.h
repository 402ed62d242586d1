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

int32_t Checking_SMesh(SMesh& mesh);

}  // namespace vexmor
