#include "topology/mesh_check.h"

#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {

// Accepts every mesh until the edge list and the orientation are in place.
int32_t Checking_SMesh(SMesh& /*mesh*/) {
  Trace("## Checking_SMesh : ");
  return 0;
}

}  // namespace vexmor
