// The mesh as the program holds it: the file's nodes and faces in the file's order, in the
// count-prefixed connectivity that the library takes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vexmor::cli {

using Vec3 = std::array<double, 3>;

struct Mesh {
  std::vector<double> coords;     // x y z per node
  std::vector<int32_t> elem;      // each face: node count, then its node numbers
  std::vector<size_t> faceStart;  // index in elem of each face's count entry

  size_t nodeCount() const { return coords.size() / 3; }
  size_t faceCount() const { return faceStart.size(); }
  // Edges of a closed mesh: each face corner starts one edge, which two faces share.
  size_t closedEdgeCount() const { return (elem.size() - faceCount()) / 2; }
  std::span<const int32_t> face(size_t f) const {
    const size_t s = faceStart[f];
    return {elem.data() + s + 1, static_cast<size_t>(elem[s])};
  }
  Vec3 node(size_t n) const { return {coords[3 * n], coords[3 * n + 1], coords[3 * n + 2]}; }

  int32_t addNode(double x, double y, double z) {
    coords.insert(coords.end(), {x, y, z});
    return static_cast<int32_t>(nodeCount() - 1);
  }
  void addFace(std::span<const int32_t> nodes) {
    faceStart.push_back(elem.size());
    elem.push_back(static_cast<int32_t>(nodes.size()));
    elem.insert(elem.end(), nodes.begin(), nodes.end());
  }
  void addFace(std::initializer_list<int32_t> nodes) {
    addFace(std::span<const int32_t>(nodes.begin(), nodes.size()));
  }
};

// The face's vector area (Newell): its normal times twice its area, for any planar polygon
// and a fair average for a warped one.
Vec3 VectorArea(const Mesh& mesh, std::span<const int32_t> nodes);
// Area of a face: half the length of its vector area, so that planar polygons of any node
// count are measured exactly.
double FaceArea(const Mesh& mesh, size_t face);
std::vector<double> FaceAreas(const Mesh& mesh);
// Mean of the face's nodes.
Vec3 FaceCentroid(const Mesh& mesh, size_t face);

struct Box {
  Vec3 lo{0, 0, 0}, hi{0, 0, 0};
  double largestExtent() const;
};
Box NodeBox(const Mesh& mesh);

}  // namespace vexmor::cli
