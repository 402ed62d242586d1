// The search box of a mesh: its node box enlarged about its centre.
#pragma once

namespace vexmor {

struct SMesh;

// Sets mesh.bbox to the node box scaled about its centre by 1.1 (or by 2.0 when wide), sets
// mesh.halfDiag to half its diagonal and mesh.bboxDone to 1.
void ComputeBBox(SMesh& mesh, bool wide = false);

}  // namespace vexmor
