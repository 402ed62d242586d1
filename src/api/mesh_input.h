// Validation of the caller's mesh arrays, shared by the eight entry points.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vexmor::api {

// The caller's arrays, known to describe a mesh: sizes non-negative, every face inside the
// connectivity, every node number valid, coordinates finite with a non-zero node box.
struct MeshInput {
  int32_t nbNodes = 0;
  int32_t szelem = 0;
  std::span<const double> coordinates;    // 3 * nbNodes values
  std::span<const int32_t> connectivity;  // szelem values
  int32_t nbFaces = 0;                    // caller faces, count entries <= 0 included
};

// The mesh described by the arguments, or nothing when no mesh could be built from them.
std::optional<MeshInput> ValidateMesh(int32_t nbNodes, int32_t szelem, const int32_t* connectivity,
                                      const double* coordinates);

}  // namespace vexmor::api
