// Draft of each face against a pull direction.
#pragma once

#include <cstdint>
#include <span>

namespace vexmor {

struct SMesh;

// Writes, for every face index, the cosine between the triangle's unit normal and the unit
// pull direction (a direction shorter than sqrt(machine epsilon) acts as (1, 0, 0)). Faces that
// are not triangles get 0. faceValues holds mesh.nbFaces values.
void Draft_Angle(const SMesh& mesh, std::span<double> faceValues, const double direction[3]);

}  // namespace vexmor
