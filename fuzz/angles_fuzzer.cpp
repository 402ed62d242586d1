// The angle analyses on fuzzed meshes: dihedral angle per node and per edge in the mode that a
// parameter byte chooses (unsigned, signed or any other value, which must equal unsigned), and
// the draft along a pull direction taken from the bytes (the zero vector and directions too
// short to normalise included).
#include <cfloat>
#include <cstdint>

#include "call_checks.h"

using namespace vexmor::fuzz;

namespace {

// Unsigned angles lie in [0, 180], signed ones in [-180, 180]; a node that no edge reaches
// holds the documented sentinel.
void CheckAngles(const std::vector<double>& angles, uint32_t signedMode, bool nodeValues,
                 const char* call) {
  const double unreached = signedMode == 1 ? DBL_MAX : -DBL_MAX;
  for (double a : angles) {
    if (nodeValues && a == unreached) continue;
    Require(a <= 180.0 && a >= (signedMode == 1 ? -180.0 : 0.0), call, "angle out of range");
  }
}

std::vector<double> NodeAngles(const FuzzedMesh& m, const InputGuard& guard, uint32_t signedMode) {
  const char* call = "VX_Diedral_Angle";
  Output<double> angles(NodeCount(m));
  const int32_t status = VX_Diedral_Angle(m.nbNodes, m.szelem, m.elem.data(), m.coords.data(),
                                          angles.data(), signedMode);
  guard.Check(call);
  CheckStatus(status, false, angles, call);
  if (status != VX_STATUS_OK) return {};
  CheckAngles(angles.values(), signedMode, true, call);
  return angles.values();
}

void EdgeAngles(const FuzzedMesh& m, const InputGuard& guard, uint32_t signedMode) {
  const char* call = "VX_Edge_Diedral_Angle";
  // A closed triangle mesh has szelem * 3 / 8 edges: the size the header tells callers to use.
  const size_t edges = static_cast<size_t>(std::max(m.szelem, 0)) * 3 / 8;
  Output<int32_t> nodes(2 * edges);
  Output<double> angles(edges);
  uint32_t count = 0xA5A5A5A5u;
  const int32_t status = VX_Edge_Diedral_Angle(m.nbNodes, m.szelem, m.elem.data(), m.coords.data(),
                                               &count, nodes.data(), angles.data(), signedMode);
  guard.Check(call);
  CheckStatus(status, false, angles, call);
  CheckStatus(status, false, nodes, call);
  if (status != VX_STATUS_OK) {
    Require(count == 0xA5A5A5A5u, call, "wrote the edge count although it refused the mesh");
    return;
  }
  Require(count == edges, call, "edge count differs from szelem * 3 / 8");
  for (int32_t n : nodes.values())
    Require(n >= 0 && n < m.nbNodes, call, "edge names a node that does not exist");
  CheckNoNaN(angles.values(), call);
  CheckAngles(angles.values(), signedMode, false, call);
}

void Draft(const FuzzedMesh& m, const InputGuard& guard) {
  const char* call = "VX_Draft_Angle";
  // Components -2 to 2; bit 7 of the last parameter shrinks the direction below the length
  // that can be normalised.
  const double shrink = (m.params[3] & 0x80) != 0 ? 1e-9 : 1.0;
  const double pull[3] = {(m.params[0] % 5 - 2) * shrink, (m.params[1] % 5 - 2) * shrink,
                          (m.params[2] % 5 - 2) * shrink};
  Output<double> values(FaceCount(m));
  const int32_t status =
      VX_Draft_Angle(m.nbNodes, m.szelem, m.elem.data(), m.coords.data(), values.data(), pull);
  guard.Check(call);
  CheckStatus(status, true, values, call);
  if (status != VX_STATUS_OK) return;
  CheckNoNaN(values.values(), call);
  for (double v : values.values())
    Require(v >= -1.0 && v <= 1.0, call, "cosine out of [-1, 1]");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzedMesh mesh = DecodeMesh(data, size);
  const InputGuard guard(mesh);
  const uint8_t choice = mesh.params[3] & 3;
  const uint32_t mode = choice < 2 ? choice : 2u + (mesh.params[3] >> 2);
  const std::vector<double> angles = NodeAngles(mesh, guard, mode);
  // Any mode other than 1 is the unsigned mode, bit for bit.
  if (mode > 1) {
    Require(SameBits(angles, NodeAngles(mesh, guard, 0)), "VX_Diedral_Angle",
            "a mode other than 0 and 1 differs from unsigned");
  }
  EdgeAngles(mesh, guard, mode);
  Draft(mesh, guard);
  return 0;
}
