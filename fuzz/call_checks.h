// What every fuzz target asserts about a library call, whatever the mesh: a known status, the
// caller's input arrays unchanged, output arrays untouched when the mesh is refused, and no
// NaN where a value was written. A violation aborts with a message, which libFuzzer and the
// replay test both report as a failure.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzzed_mesh.h"
#include "vexmor.h"

namespace vexmor::fuzz {

[[noreturn]] inline void Fail(const char* call, const char* what) {
  std::fprintf(stderr, "%s: %s\n", call, what);
  std::fflush(stderr);
  std::abort();
}

inline void Require(bool ok, const char* call, const char* what) {
  if (!ok) Fail(call, what);
}

// An output array of exactly the stated size (null when the size is 0, as the header allows),
// filled with a bit pattern that no analysis writes, so that an untouched array can be told.
template <typename T>
class Output {
 public:
  explicit Output(size_t size) : values_(size) {
    for (T& v : values_)
      std::memset(&v, 0xA5, sizeof v);
  }
  T* data() { return values_.empty() ? nullptr : values_.data(); }
  size_t size() const { return values_.size(); }
  const T& operator[](size_t i) const { return values_[i]; }
  bool Untouched() const {
    for (const T& v : values_) {
      T canary;
      std::memset(&canary, 0xA5, sizeof canary);
      if (std::memcmp(&v, &canary, sizeof v) != 0) return false;
    }
    return true;
  }
  const std::vector<T>& values() const { return values_; }

 private:
  std::vector<T> values_;
};

// Bit for bit, so that NaN equals NaN and -0 differs from 0.
inline bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// A copy of the caller's arrays taken before the calls, compared bit for bit after each.
class InputGuard {
 public:
  explicit InputGuard(const FuzzedMesh& mesh)
      : mesh_(mesh), coords_(mesh.coords), elem_(mesh.elem) {}
  void Check(const char* call) const {
    Require(SameBits(coords_, mesh_.coords), call, "changed the caller's coordinates");
    Require(elem_ == mesh_.elem, call, "changed the caller's connectivity");
  }

 private:
  const FuzzedMesh& mesh_;
  std::vector<double> coords_;
  std::vector<int32_t> elem_;
};

// The status must be one the function documents; on a refusal nothing may be written.
template <typename T>
void CheckStatus(int32_t status, bool mayFailAnalysis, const Output<T>& out, const char* call) {
  Require(status == VX_STATUS_OK || status == VX_STATUS_MESH_REJECTED ||
              status == VX_STATUS_INVALID_INPUT ||
              (mayFailAnalysis && status == VX_STATUS_ANALYSIS_FAILED),
          call, "returned an undocumented status");
  if (status == VX_STATUS_MESH_REJECTED || status == VX_STATUS_INVALID_INPUT) {
    Require(out.Untouched(), call, "wrote its output although it refused the mesh");
  }
}

inline void CheckNoNaN(const std::vector<double>& values, const char* call) {
  for (double v : values)
    Require(!std::isnan(v), call, "wrote NaN");
}

// Sizes of the output arrays as the caller computes them from its own arrays: one per node,
// one per caller face (0 when the connectivity cannot be walked: the call must refuse it).
inline size_t NodeCount(const FuzzedMesh& mesh) {
  return static_cast<size_t>(std::max(mesh.nbNodes, 0));
}
inline size_t FaceCount(const FuzzedMesh& mesh) {
  return static_cast<size_t>(std::max(mesh.faceCount(), 0));
}

}  // namespace vexmor::fuzz
