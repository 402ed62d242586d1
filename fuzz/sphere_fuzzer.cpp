// Rolling-sphere thickness (contact distance) and radius on fuzzed meshes, with the outside
// flag that a parameter byte chooses.
#include <cmath>
#include <cstdint>

#include "call_checks.h"

using namespace vexmor::fuzz;

namespace {

void Sphere(const FuzzedMesh& m, const InputGuard& guard, bool contact, uint8_t outside) {
  const char* call = contact ? "VX_Thickness_Computation_LSCP" : "VX_Thickness_Computation_LSR";
  Output<double> thickness(FaceCount(m));
  const auto function = contact ? VX_Thickness_Computation_LSCP : VX_Thickness_Computation_LSR;
  const int32_t status =
      function(m.nbNodes, m.szelem, m.elem.data(), m.coords.data(), thickness.data(), outside);
  guard.Check(call);
  CheckStatus(status, true, thickness, call);
  if (status != VX_STATUS_OK) return;
  CheckNoNaN(thickness.values(), call);
  for (double t : thickness.values()) {
    Require(std::isfinite(t), call, "infinite thickness");
    if (outside == 0) Require(t >= 0.0, call, "negative thickness without the outside flag");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzedMesh mesh = DecodeMesh(data, size);
  const InputGuard guard(mesh);
  const uint8_t outside = mesh.params[0] & 1;
  Sphere(mesh, guard, true, outside);
  Sphere(mesh, guard, false, outside);
  return 0;
}
