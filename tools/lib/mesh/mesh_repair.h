// Mending a slightly broken surface so that the analyses can run on it: nodes closer than a
// tolerance become one, faces that repeat another or that the merge left without area are
// dropped, and holes with short boundary loops are closed by faces split in the loop's own
// plane without folding (the same ear clipping that splits the file's polygons).
//
// The mended mesh holds the file's faces that were kept, in the file's order, then the faces
// that fill holes: results on it are the file's for faces below `ownFaces`, and the fill faces
// only close the part for the analyses.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

// Nodes closer than this share of the node box diagonal are merged unless a tolerance is given.
constexpr double kDefaultMergeShare = 1e-6;
// Holes whose boundary loop has more edges than this are left open unless told otherwise.
constexpr size_t kDefaultMaxHoleEdges = 32;

struct RepairOptions {
  std::optional<double> mergeTolerance;  // in the file's units; default: a share of the box
  size_t maxHoleEdges = kDefaultMaxHoleEdges;
};

struct MeshRepair {
  Mesh mesh;             // the kept faces of the file, then the fill faces
  size_t ownFaces = 0;   // faces of the file kept; those from here on fill holes
  double tolerance = 0;  // the merge tolerance used
  bool defaultTolerance = true;
  size_t mergedNodes = 0;
  size_t duplicateFaces = 0;  // faces with the same nodes as an earlier face (either winding)
  size_t zeroAreaFaces = 0;   // faces left with fewer than three distinct nodes by the merge
  size_t filledHoles = 0;
  size_t fillFaces = 0;
  size_t holesTooLong = 0;       // loops of more edges than the limit, left open
  size_t holesUnfillable = 0;    // loops with no split in their plane free of folds, left open
  std::vector<size_t> fileFace;  // the file's number of each kept face

  size_t holesLeftOpen() const { return holesTooLong + holesUnfillable; }
  bool changed() const { return mergedNodes + duplicateFaces + zeroAreaFaces + fillFaces > 0; }
};

MeshRepair RepairMesh(const Mesh& mesh, const RepairOptions& options);

}  // namespace vexmor::cli
