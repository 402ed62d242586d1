// The part that the program analyses when it is given no file: a small moulded tray, built in
// code as a closed, outward-wound surface (millimetres):
//   - an 80 x 50 mm floor 3 mm thick with a perimeter wall 2 mm thick and 14 mm high, all
//     walls vertical (no draft);
//   - a thin rib, 1.25 mm thick and 10 mm high, across the tray;
//   - a thick square boss, 12 x 12 mm and 16 mm high, whose sides taper inwards by 0.5 mm (a
//     little positive draft) and whose faces are all quadrilaterals;
//   - a pocket sunk 2 mm into the floor, leaving 1 mm of floor, whose sides lean outwards by
//     0.5 mm towards its bottom: an undercut, with negative draft;
//   - convex edges along every top and concave ones where walls meet the floor.
// Every coordinate is a multiple of 1/8 mm, so the part survives single precision files
// unchanged, and its nodes are numbered in the order the faces first use them.
#pragma once

#include "mesh/mesh.h"

namespace vexmor::cli {

Mesh SamplePart();

}  // namespace vexmor::cli
