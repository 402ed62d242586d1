// The edge list of a mesh: every edge with its first two faces and its face count, in the
// order the faces first meet it.
#pragma once

#include <array>
#include <cstdint>

namespace vexmor {

struct SMesh;

// Rebuilds mesh.edgeHash from the connectivity: faces in order, each face's sides from node 0.
// A side seen again adds its face as second face, or only raises the count from the third on.
// With listSidesAcross, also lists the faces across each side (EdgeHash::SidesAcrossAsBuilt)
// on a mesh where SidesAcross would: gathered as each edge meets its second face, which costs
// far less than SidesAcross' own pass.
void BuildEdgeHash(SMesh& mesh, bool listSidesAcross = false);

// Brings mesh.edgeHash up to what BuildEdgeHash would give now. A list that no face has been
// turned since (EdgeHash::FacesTurned) is that already. When it was built from these same faces
// and faces were only turned since (the orientation turns whole faces, which changes the order
// in which a face meets its edges and the direction of each edge's first side), the edges are
// renumbered in one walk over the recorded sides; in any other case, or if the walk finds a
// side that does not fit the records, it is built anew.
void RebuildEdgeHash(SMesh& mesh);

// Number of the edge joining a and b, the side'th side of the face at facePos (from 0; any
// side of it is found, at a little more cost), as EdgeHash::Find(a, b) gives it, or 0: read from
// the sides that BuildEdgeHash recorded when it can, looked up otherwise.
int32_t FaceSideEdge(const SMesh& mesh, int32_t facePos, int32_t side, int32_t a, int32_t b);

// Read-ahead for walks that visit faces in an order of their own and look up their sides'
// edges and the faces across them: each asks for what a later step of FaceSideEdge and of
// reading the records will read, in three stages so that each finds the previous one's data
// at hand. For the face at facePos: its recorded side edges; those sides' edge records (once
// the side edges have arrived); the connectivity of the faces across (once the records have).
void PrefetchSideEdges(const SMesh& mesh, int32_t facePos);
void PrefetchSideRecords(const SMesh& mesh, int32_t facePos);
void PrefetchFacesAcross(const SMesh& mesh, int32_t facePos);

// (defect flag, boundary edges, non-manifold edges): edges with one face, edges with more than
// two. Builds the edge list first when it holds no edge.
std::array<int32_t, 3> CountBoundaryEdges(SMesh& mesh);

}  // namespace vexmor
