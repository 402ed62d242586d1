// The per-call sequence shared by the thickness analyses that measure triangles (rolling-sphere
// contact distance and ray tracing): split quadrilaterals, check, optionally box the part, run
// the analysis on a working array and fold it back to the caller's faces in caller units.
#pragma once

#include <cstdint>
#include <span>

#include "api/mesh_input.h"
#include "topology/mesh_check.h"

namespace vexmor {
struct SMesh;
}

namespace vexmor::api {

// An analysis writing one value per face of the mesh into the working array.
using TriangleAnalysis = void (*)(SMesh& mesh, std::span<double> values);

// Runs the sequence for the caller's mesh with the given analysis variant (`mode`) and outside
// flag, and on success writes one value per caller face, divided by scale, into faceThickness.
// `edges` says what the analysis reads of the check's edges. Returns the status of the call; on
// status 1 or 2 faceThickness is not written.
int32_t MeasureTriangles(const MeshInput& input, uint8_t outside, uint32_t mode,
                         TriangleAnalysis analysis, EdgesAfterCheck edges, double* faceThickness);

}  // namespace vexmor::api
