// Ray-tracing thickness, inside or outside the part as a parameter byte chooses, and the
// thickness gradient over the ray values or over values taken from the bytes (zero, negative,
// NaN and huge ones included).
#include <cmath>
#include <cstdint>
#include <limits>

#include "call_checks.h"

using namespace vexmor::fuzz;

namespace {

std::vector<double> RayThickness(const FuzzedMesh& m, const InputGuard& guard, uint8_t outside) {
  const char* call = "VX_Thickness_RayTracing";
  Output<double> thickness(FaceCount(m));
  const int32_t status = VX_Thickness_RayTracing(m.nbNodes, m.szelem, m.elem.data(),
                                                 m.coords.data(), thickness.data(), outside);
  guard.Check(call);
  CheckStatus(status, true, thickness, call);
  if (status != VX_STATUS_OK) return {};
  CheckNoNaN(thickness.values(), call);
  for (double t : thickness.values()) {
    Require(std::isfinite(t), call, "infinite thickness");
    if (outside == 0) Require(t >= 0.0, call, "negative thickness inside the part");
  }
  return thickness.values();
}

// Thickness handed to the gradient: the ray values, or a pattern over the faces.
std::vector<double> GradientInput(const FuzzedMesh& m, const std::vector<double>& ray) {
  const uint8_t how = m.params[0];
  if (how % 4 == 0 && !ray.empty()) return ray;
  static constexpr double kValues[8] = {1.0, 0.0, -2.5, 1e-9, 3.0, 1e300, 0.125, 1e-7};
  std::vector<double> values(FaceCount(m));
  for (size_t f = 0; f < values.size(); ++f) {
    values[f] = kValues[(f * (1 + m.params[1]) + m.params[2]) % 8];
    if (how % 4 == 3 && f % 5 == 1) values[f] = std::numeric_limits<double>::quiet_NaN();
  }
  return values;
}

void Gradient(const FuzzedMesh& m, const InputGuard& guard, const std::vector<double>& input) {
  const char* call = "VX_Thickness_Gradient";
  Output<double> gradient(FaceCount(m));
  // Sized exactly like the output, so that a read past the caller's faces is caught.
  const std::vector<double> thickness(input);
  const int32_t status =
      VX_Thickness_Gradient(m.nbNodes, m.szelem, m.elem.data(), m.coords.data(),
                            thickness.empty() ? nullptr : thickness.data(), gradient.data());
  guard.Check(call);
  Require(SameBits(thickness, input), call, "changed the caller's thickness");
  CheckStatus(status, true, gradient, call);
  if (status != VX_STATUS_OK) return;
  bool moderate = true;
  for (double t : input)
    moderate = moderate && std::isfinite(t) && std::fabs(t) <= 1e6;
  for (double g : gradient.values()) {
    if (moderate) Require(std::isfinite(g) && g >= 0.0, call, "gradient not finite and >= 0");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FuzzedMesh mesh = DecodeMesh(data, size);
  const InputGuard guard(mesh);
  const std::vector<double> ray = RayThickness(mesh, guard, mesh.params[3] & 1);
  Gradient(mesh, guard, GradientInput(mesh, ray));
  return 0;
}
