// Ray-tracing thickness: the length of the ray cast from each face into the material.
#pragma once

#include <cstdint>
#include <span>

namespace vexmor {

struct SMesh;

// Writes one value per face of the mesh (faceThickness holds mesh.nbFaces values; its incoming
// contents are never read), in the normalised frame: the distance from the face's incircle
// centre, against its normal, to the first face the ray crosses, averaged over the face's strip
// triangles (one for a triangle). A ray that leaves bbox without crossing anything counts 0.0;
// a face of fewer than three nodes gets 0.0. With mesh.outside set, a face whose ray ends on
// one of the last 12 faces (the enclosing box) gets its value negated. Builds the ADT and bbox
// when missing.
void RayThickness(SMesh& mesh, std::span<double> faceThickness);

}  // namespace vexmor
