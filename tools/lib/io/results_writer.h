// Writes the values of an analysis with the mesh they belong to:
//   .vtp  VTK XML PolyData (opens in ParaView): faces as polygons, edges as lines, nodes that
//         no face uses (query points) as vertices; face and edge values as cell data, node
//         values as point data; NaN marks cells or points without a value. The arrays are
//         inline binary: base64 of a UInt64 byte count and the little-endian values (Float64,
//         Int32 for connectivity and offsets), about half the size of text.
//   .ply  the mesh with node values as vertex properties, face values as face properties and
//         a colour per face from the perceptual colour map, over the range of the coloured
//         field; edge values in an edge element.
//   .csv  one row per face, node or edge: kind, index, position (face centroid, node, edge
//         midpoint), area for faces, then one column per field, empty where it does not apply.
#pragma once

#include <string>

#include "report/report.h"

namespace vexmor::cli {

std::string ResultsToVtp(const Results& results);
std::string ResultsToPly(const Results& results);
std::string ResultsToCsv(const Results& results);

// Chooses the format from the extension; throws std::runtime_error for an unknown one or a
// file that cannot be written.
void WriteResultsFile(const Results& results, const std::string& path);

}  // namespace vexmor::cli
