// Dihedral angle at every edge: the angle between the normals of its two faces, in degrees,
// optionally signed negative at re-entrant (concave) edges.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/large_array.h"
#include "topology/edge.h"

namespace vexmor {

struct SMesh;

// The unit triangle normal of every face index, 3 doubles each (0 for faces that are not
// triangles). A degenerate triangle gets (1, 0, 0) and is reported on standard output.
LargeVector<double> DihedralFaceNormals(const SMesh& mesh);

// How the surface folds at one edge.
struct EdgeFold {
  double angle = 0.0;      // degrees in [0, 180]; 0 for coplanar or folded-back faces
  bool reEntrant = false;  // the first face rises above the plane of the second on its outer side
};

// The fold at edge e from the face normals. The side test is made only when withSide is set.
// An edge without a second face does not fold.
EdgeFold FoldAtEdge(const SMesh& mesh, std::span<const double> normals, const Edge& e,
                    bool withSide);

// Read-ahead for loops over the edge list, whose edges' faces and nodes lie anywhere: called at
// edge i, asks for what FoldAtEdge will read of an edge some way ahead (its faces' normals and,
// with withSide, its first face), and of an edge half as far ahead what that first face leads
// to (its nodes).
void PrefetchFolds(const SMesh& mesh, std::span<const double> normals, int32_t i, bool withSide);
// The same for loops over the faces and the table of the faces across their sides
// (ForEachEdgeOfSidesAcross): asks for the normals of the faces across the sides of face f and,
// with withSide, for its nodes.
void PrefetchFoldsOfFace(const SMesh& mesh, std::span<const double> normals, int32_t f,
                         bool withSide);

// Writes, per edge in the edge list's order, its two nodes and its dihedral angle: the edges
// are read from the table of the faces across each side while it describes the faces, else
// from the edge list brought up to date (RebuildEdgeHash); with mesh.mode 1 the angle is negative
// at re-entrant edges. Writes no more edges than the arrays hold (two nodes and one angle per edge)
// and stores the number written in nbEdges. Expects a mesh accepted by the check (outward faces,
// two faces per edge).
void EdgeDiedralAngle(SMesh& mesh, uint32_t& nbEdges, std::span<int32_t> edgeNodes,
                      std::span<double> edgeAngles);

}  // namespace vexmor
