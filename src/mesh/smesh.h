// SMesh: the private working copy of a caller's surface mesh, in the normalised frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "mesh/large_array.h"
#include "topology/edge_hash.h"

namespace vexmor {

struct AdtTree;

// Built by every exported function from the caller's arrays and released before it returns.
// The coordinates are shifted so that the node box starts at the origin and multiplied by
// `scale` = 10000 / (largest extent of the node box): every absolute tolerance of the library
// is measured in that frame. Structures that analyses need (bbox, ADT, edge list, split
// triangles) are built on demand and owned here.
struct SMesh {
  // The side length of the normalised frame's longest axis.
  static constexpr double kFrameSize = 10000.0;

  // Basic form: mode 0, outside 0.
  SMesh(int32_t nbNodes, int32_t szelem, std::span<const double> coordinates,
        std::span<const int32_t> connectivity);
  // With the analysis variant.
  SMesh(int32_t nbNodes, int32_t szelem, std::span<const double> coordinates,
        std::span<const int32_t> connectivity, uint32_t mode);
  // Full form: also whether the space outside the part is analysed.
  SMesh(uint8_t outside, int32_t nbNodes, int32_t szelem, std::span<const double> coordinates,
        std::span<const int32_t> connectivity, uint32_t mode);
  ~SMesh();
  SMesh(const SMesh&) = delete;
  SMesh& operator=(const SMesh&) = delete;

  // Frees everything the mesh owns: the ADT, the arrays, then the edge table.
  void Release();

  // Views of the arrays in use.
  std::span<const int32_t> Elem() const { return elem; }
  std::span<int32_t> Elem() { return elem; }
  const double* Node(int32_t i) const { return coords.data() + 3 * static_cast<size_t>(i); }
  // Asks for the coordinates of the nodes of the face at position pos to be read soon. Nodes
  // lie anywhere in the node array, so loops over faces call it a few faces ahead. Positions and
  // node numbers outside the arrays are ignored.
  void PrefetchFaceNodes(int64_t pos) const;

  // Search box in the normalised frame (min x, y, z, max x, y, z), valid when bboxDone is 1.
  double bbox[6] = {0, 0, 0, 0, 0, 0};
  // Node box of the caller's coordinates, in caller units (min x, y, z, max x, y, z).
  double inputBox[6] = {0, 0, 0, 0, 0, 0};
  uint32_t dim = 3;
  std::unique_ptr<AdtTree> adt;
  uint8_t bboxDone = 0;
  LargeVector<double> coords;  // normalised coordinates, 3 per node
  int32_t nbNodes = 0;
  LargeVector<int32_t> elem;      // count-prefixed connectivity in use
  LargeVector<int32_t> origElem;  // the caller's connectivity, kept when quads were split
  LargeVector<int32_t> triFace;   // per triangle of elem, the caller face it came from
  int32_t szelem = 0;
  int32_t nbFaces = 0;
  int32_t nbOrigFaces = 0;  // caller faces before splitting; 0 when nothing was split
  uint32_t mode = 0;        // analysis variant chosen by the entry point
  double halfDiag = 0.0;    // half the diagonal of bbox
  double scale = 1.0;       // normalised length = (caller length) * scale
  uint8_t outside = 0;      // analyse the space between the part and an enclosing box
  uint8_t quadsSplit = 0;   // quadrilaterals were split into triangles
  EdgeHash edgeHash;        // edge records; its record array is the edge list

 private:
  void CopyAndNormaliseCoordinates(std::span<const double> coordinates);
  void CopyConnectivity(std::span<const int32_t> connectivity);
};

}  // namespace vexmor
