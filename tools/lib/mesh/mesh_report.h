// What a person needs to know about a mesh before analysing it: sizes, face types, edges,
// defects and shells, computed in time linear in the mesh size, and the plain reasons for
// which the library would refuse it.
#pragma once

#include <string>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

struct MeshReport {
  size_t nodes = 0;
  size_t unusedNodes = 0;  // nodes that no face uses
  size_t faces = 0;
  size_t triangles = 0;
  size_t quadrilaterals = 0;
  size_t polygons = 0;         // faces of five or more nodes
  size_t degenerateFaces = 0;  // a node repeated within the face, or zero area
  size_t edges = 0;
  size_t boundaryEdges = 0;     // used by one face: the surface is open there
  size_t nonManifoldEdges = 0;  // used by three faces or more
  size_t misorientedEdges = 0;  // two faces running along it the same way
  size_t shells = 0;            // groups of faces connected through edges
  size_t closedShells = 0;      // shells without boundary or non-manifold edges
  double area = 0;
  Box box;

  bool closedAndManifold() const { return boundaryEdges == 0 && nonManifoldEdges == 0; }
  // Closed and manifold: every analysis can run (the program splits the faces that an
  // analysis does not take as they are into triangles).
  bool analysable() const { return closedAndManifold() && faces > 0; }
};

// Where the mesh's topology stands, for showing it: each face's shell and the faulty edges.
struct MeshTopology {
  std::vector<uint32_t> faceShell;        // shells numbered 0, 1, ... in the order of first faces
  std::vector<int32_t> boundaryEdges;     // two nodes per edge used by one face
  std::vector<int32_t> nonManifoldEdges;  // two nodes per edge used by three faces or more
};

// One pass over the face corners. `topology`, when given, receives the shells and faulty edges
// as well; `faceAreas` each face's area (FaceArea), which the report sums.
MeshReport InspectMesh(const Mesh& mesh, MeshTopology* topology = nullptr,
                       std::vector<double>* faceAreas = nullptr);

// One sentence per defect for which the library rejects the mesh whatever its faces are split
// into; empty when it accepts it.
std::vector<std::string> RejectionReasons(const MeshReport& report);

}  // namespace vexmor::cli
