// Distance from every node to the surface on fuzzed meshes. The function runs no mesh check,
// so open, non-manifold and polygon faces all reach the analysis.
#include <cmath>
#include <cstdint>

#include "call_checks.h"

using namespace vexmor::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzedMesh m = DecodeMesh(data, size);
  const InputGuard guard(m);
  const char* call = "VX_Thickness_Computation_DN2S";
  std::vector<double> first;
  for (uint8_t outside : {0, 1}) {
    Output<double> distance(NodeCount(m));
    const int32_t status = VX_Thickness_Computation_DN2S(m.nbNodes, m.szelem, m.elem.data(),
                                                         m.coords.data(), distance.data(), outside);
    guard.Check(call);
    CheckStatus(status, false, distance, call);
    Require(status != VX_STATUS_MESH_REJECTED, call, "rejected a mesh although it runs no check");
    if (status != VX_STATUS_OK) return 0;
    CheckNoNaN(distance.values(), call);
    for (double d : distance.values())
      Require(d >= 0.0, call, "negative distance");
    // A node of a face with at least three nodes lies on the surface.
    for (size_t p = 0; p<m.elem.size(); p += m.elem[p]> 0 ? m.elem[p] + 1 : 1) {
      for (int32_t k = 1; m.elem[p] >= 3 && k <= m.elem[p]; ++k)
        Require(distance[m.elem[p + k]] == 0.0, call, "a face's node is not at distance 0");
    }
    // The flag has no effect on this method.
    if (outside == 0)
      first = distance.values();
    else
      Require(SameBits(distance.values(), first), call, "the outside flag changed the distances");
  }
  return 0;
}
