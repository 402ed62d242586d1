// Rolling-sphere thickness: for every triangle, the largest sphere tangent at its incircle
// centre inside the material, fitted face after face from a seed outwards.
#pragma once

#include <cstdint>
#include <span>

#include "mesh/face_ref.h"

namespace vexmor {

struct SMesh;
class RayTree;
class AdtRayWalk;

// What SphereThickness reports per face.
inline constexpr uint32_t kSphereRadius = 0;           // the settled sphere's radius
inline constexpr uint32_t kSphereContactDistance = 1;  // tangent point to opposite contact

// Writes one value per face of the mesh (faceThickness holds mesh.nbFaces values; its incoming
// contents are never read), in the normalised frame: with variant kSphereContactDistance the
// distance from the face's incircle centre to the point where the sphere touches the opposite
// wall (t on a plate of thickness t), otherwise the sphere's radius (t / 2).
//
// The surface is walked region by region: the faces around the nodes of each measured face
// start from its reported value (the radius, or the contact distance), and only a region's
// seed starts from a ray probe. A
// face whose sphere never identifies a wall gets 0.0. With mesh.outside set, a face whose nearest
// wall is one of the last 12 faces (the enclosing box) gets its value negated. Faces of fewer than
// three nodes get 0.0. Builds the ADT, bbox and edge list when missing.
void SphereThickness(SMesh& mesh, std::span<double> faceThickness, uint32_t variant);

// Starting radius of a seed triangle, and the ray probe of the ray-tracing thickness: the
// distance from P along -N to the nearest face crossed (face facePos excluded), with that face
// written to hit; -2.0 when the ray leaves bbox without crossing a face, or when N is no
// direction (a degenerate triangle's raw normal). Between equally near crossings the face that
// the ADT's range search lists first wins. walls must index the mesh's current ADT.
double Coarse_Initial_Thickness(SMesh& mesh, AdtRayWalk& walls, int32_t facePos, const double P[3],
                                const double N[3], FaceRef& hit);
// The same probe through a ray tree of the mesh that holds whole faces, without the ADT.
double Coarse_Initial_Thickness(SMesh& mesh, RayTree& rays, int32_t facePos, const double P[3],
                                const double N[3], FaceRef& hit);

}  // namespace vexmor
