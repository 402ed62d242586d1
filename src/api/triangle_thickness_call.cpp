#include "api/triangle_thickness_call.h"

#include <utility>
#include <vector>

#include "geometry/adt.h"
#include "mesh/face_walk.h"
#include "mesh/large_array.h"
#include "mesh/smesh.h"
#include "mesh/triangle_split.h"
#include "topology/mesh_check.h"
#include "vexmor.h"

namespace vexmor::api {
namespace {

// Reverses the winding of every triangle and quadrilateral, keeping its first node.
void TurnEveryFace(SMesh& mesh) {
  std::span<int32_t> elem = mesh.Elem();
  for (int32_t p = 0; p < mesh.szelem; p = NextFacePos(elem, p)) {
    const int32_t n = elem[static_cast<size_t>(p)];
    if (n == 3 && p + 3 < mesh.szelem) {
      std::swap(elem[static_cast<size_t>(p) + 2], elem[static_cast<size_t>(p) + 3]);
    } else if (n == 4 && p + 4 < mesh.szelem) {
      std::swap(elem[static_cast<size_t>(p) + 2], elem[static_cast<size_t>(p) + 4]);
    }
  }
}

}  // namespace

int32_t MeasureTriangles(const MeshInput& input, uint8_t outside, uint32_t mode,
                         TriangleAnalysis analysis, EdgesAfterCheck edges, double* faceThickness) {
  SMesh mesh(outside, input.nbNodes, input.szelem, input.coordinates, input.connectivity, mode);
  // A face of other than three or four nodes stays unsplit, and the check rejects it.
  SetFullTrias(mesh);
  if (Checking_SMesh(mesh, edges) != 0) return VX_STATUS_MESH_REJECTED;

  const size_t nbTriangles = static_cast<size_t>(mesh.nbFaces);
  LargeVector<double> values(nbTriangles + (outside != 0 ? 12 : 0), 0.0);
  if (outside != 0) {
    // The part turned inside out and closed by a box around it: the analysis then measures the
    // space between them. Everything built over the part alone is rebuilt over the boxed mesh.
    TurnEveryFace(mesh);
    if (AppendEnclosingBox(mesh) != 0) return VX_STATUS_ANALYSIS_FAILED;
    mesh.bboxDone = 0;
    mesh.adt.reset();
    mesh.edgeHash.Reset(32768);
  }
  analysis(mesh, values);

  // The box's values come last and are never copied out.
  if (mesh.quadsSplit != 0) values = MapTriangleResults(mesh, values, TriangleFold::kMinimum);
  const size_t nbCallerFaces = static_cast<size_t>(input.nbFaces);
  for (size_t i = 0; i < nbCallerFaces && i < values.size(); ++i)
    faceThickness[i] = values[i] / mesh.scale;
  return VX_STATUS_OK;
}

}  // namespace vexmor::api
