// What makes results on a mesh doubtful even though the library accepts it: shells that cross
// each other or themselves (the library's orientation assumes disjoint or nested shells),
// faces lying on other faces, non-convex faces, long thin triangles (one tangent point stands
// for a long face), faces without area, and nodes far from the rest (they stretch the node box
// that every analysis is scaled and searched in). Counted with the share of the surface area
// they cover, and flagged per face and node for a file that shows where they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/triangulation.h"

namespace vexmor::cli {

// A triangle is long and thin when its longest edge is more than this many times its width
// (its height over that edge). An equilateral triangle measures 1.15, half a square 2.
constexpr double kLongThinRatio = 20;

// Flags per face, one bit per doubt.
enum FaceDoubt : uint8_t {
  kDoubtCrossing = 1,      // crosses another face
  kDoubtOverlapping = 2,   // lies on another face, sharing area with it
  kDoubtNonConvex = 4,     // a quadrilateral or polygon with a corner turning back
  kDoubtLongThin = 8,      // one of its triangles is long and thin
  kDoubtZeroArea = 16,     // its nodes lie on one line (or coincide)
  kDoubtUsesFarNode = 32,  // uses a node far from the rest
};

struct DoubtfulFaces {
  size_t count = 0;
  double area = 0;  // their total area
};

struct MeshDoubts {
  double totalArea = 0;
  DoubtfulFaces crossing, overlapping, nonConvex, longThin, zeroArea, farNodeFaces;
  size_t crossingPairs = 0, overlappingPairs = 0;  // pairs of triangles
  size_t shellPairsCrossing = 0;                   // pairs of different shells that cross
  size_t shellsCrossingThemselves = 0;
  size_t shells = 0;
  size_t farNodes = 0;
  double boxGrowth = 1;  // largest extent of the node box over that without the far nodes
  // The far node that lies farthest from the box of the other nodes, when there is one: the
  // node a person should look at first.
  struct StrayNode {
    size_t node = 0;
    Vec3 position{0, 0, 0};
    double distance = 0;    // from the box of the nodes that are not far
    double restExtent = 0;  // largest extent of that box
    size_t facesUsing = 0;  // faces that use the node (0: an unused node)
  } stray;

  std::vector<uint8_t> faceFlags;  // FaceDoubt bits per face
  std::vector<uint8_t> farNode;    // 1 per node far from the rest

  bool any() const;
  // One sentence per doubt found, with counts and share of the area; empty when none.
  std::vector<std::string> warnings() const;
};

// `faceShell` numbers each face's shell (see InspectMesh); `split` holds the mesh's faces as
// triangles and may be null when every face is a triangle. `faceAreas`, when given, are the
// faces' areas (FaceAreas), found already by InspectMesh.
MeshDoubts InspectDoubts(const Mesh& mesh, const Triangulation* split,
                         const std::vector<uint32_t>& faceShell,
                         const std::vector<double>* faceAreas = nullptr);

// Nodes that lie far from the rest: a node, or a group of up to 16 nodes (never more than a
// quarter of them), that lies farther from the box of all the other nodes than that box's
// largest extent, so that it at least doubles the node box. 1 per such node.
std::vector<uint8_t> FarNodes(const Mesh& mesh);

}  // namespace vexmor::cli
