#include "thickness/thickness_gradient.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/face_ref.h"
#include "mesh/face_walk.h"
#include "mesh/large_array.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"
#include "thickness/faces_around_node.h"
#include "topology/edge_list.h"
#include "topology/sides_across.h"

namespace vexmor {
namespace {

// FLT_EPSILON: thinner faces have no meaningful relative difference.
constexpr double kThinnestComparable = 1.1920928955078125e-7;

// The walks around the nodes, each node's walked once. Every face of a node asks for the walk
// from itself; when the first walk went once round a cycle, the walk from any face of that
// cycle is the same cycle started at that face, which is read from the first instead of walked
// again. The walks read the faces across each side from `across` when it lists them, else
// from the edge list.
class RingWalks {
 public:
  RingWalks(const SMesh& mesh, std::span<const int32_t> across)
      : across_(across),
        first_(static_cast<size_t>(std::max(mesh.nbNodes, 0)), kNotWalked),
        length_(first_.size(), 0),
        walkIndices_(kGradientWalkCapacity),
        walkPositions_(kGradientWalkCapacity) {
    rings_.reserve(3 * static_cast<size_t>(std::max(mesh.nbFaces, 0)));
  }

  // Calls visit(g) for the faces g that FacesAroundNode(mesh, node, ...) lists from (face,
  // pos) after the start, in the walk's order: its entries 1 .. (result - 1).
  template <class Visit>
  void ForEachAround(SMesh& mesh, int32_t node, int32_t face, int32_t pos, Visit&& visit) {
    const bool known = node >= 0 && static_cast<size_t>(node) < first_.size();
    const int32_t first = known ? first_[static_cast<size_t>(node)] : kNotWalked;
    // A node whose cached ring lacks the face has another ring through it (surfaces that touch
    // there): that one is walked in full.
    if (const Cycle cycle = CycleFrom(node, face); cycle.length > 0) {
      cycle.ForEachAfterStart(visit);
      return;
    }
    walkIndices_[0] = face;
    walkPositions_[0] = pos;
    bool roundOnce = false;
    const int32_t around =
        across_.empty()
            ? FacesAroundNode(mesh, node, walkIndices_, walkPositions_, &roundOnce)
            : FacesAroundNode(mesh, across_, node, walkIndices_, walkPositions_, &roundOnce);
    if (known && first == kNotWalked) {
      if (roundOnce && around > 0) {
        first_[static_cast<size_t>(node)] = static_cast<int32_t>(rings_.size());
        length_[static_cast<size_t>(node)] = around;
        for (int32_t i = 0; i < around; ++i) {
          rings_.push_back(walkIndices_[static_cast<size_t>(i)]);
        }
      } else {
        first_[static_cast<size_t>(node)] = kNoCycle;
      }
    }
    for (int32_t j = 1; j < around; ++j)
      visit(walkIndices_[static_cast<size_t>(j)]);
  }

  // The cached cycle of the node that holds face, and where face stands in it; a length of 0
  // when the node's ring was not walked once round yet, or face is on another ring of it.
  struct Cycle {
    const int32_t* ring = nullptr;
    int32_t length = 0;
    int32_t at = 0;
    // Calls visit(g) for the cycle from the face, without it: the entries after it, then
    // those before.
    template <class Visit>
    void ForEachAfterStart(Visit&& visit) const {
      for (int32_t i = at + 1; i < length; ++i)
        visit(ring[i]);
      for (int32_t i = 0; i < at; ++i)
        visit(ring[i]);
    }
  };
  Cycle CycleFrom(int32_t node, int32_t face) const {
    if (node < 0 || static_cast<size_t>(node) >= first_.size()) return {};
    const int32_t first = first_[static_cast<size_t>(node)];
    if (first < 0) return {};
    const int32_t length = length_[static_cast<size_t>(node)];
    const int32_t* ring = rings_.data() + first;
    for (int32_t j = 0; j < length; ++j) {
      if (ring[j] == face) return {ring, length, j};
    }
    return {};
  }

  // Read-ahead for a node's ring: its entry in the cache index first, then (once that has
  // arrived) the start of the ring it names.
  void PrefetchIndexOf(int32_t node) const {
    if (node >= 0 && static_cast<size_t>(node) < first_.size()) {
      PrefetchForRead(first_.data() + node);
      PrefetchForRead(length_.data() + node);
    }
  }
  void PrefetchRingOf(int32_t node) const {
    if (node < 0 || static_cast<size_t>(node) >= first_.size()) return;
    const int32_t first = first_[static_cast<size_t>(node)];
    if (first >= 0) PrefetchForRead(rings_.data() + first);
  }

 private:
  static constexpr int32_t kNotWalked = -1;
  static constexpr int32_t kNoCycle = -2;

  std::span<const int32_t> across_;
  std::vector<int32_t> first_;   // per node: where its ring starts in rings_, or a state
  std::vector<int32_t> length_;  // per node: its ring's length
  LargeVector<int32_t> rings_;   // the faces of each ring walked once round, by index
  std::vector<int32_t> walkIndices_;
  std::vector<int32_t> walkPositions_;
};

// The sum and count of the relative differences of a triangle's neighbours, without stamps,
// when the rings of its three nodes are all cached cycles and the faces across its three sides
// are three other faces: false, leaving sum and count, otherwise. On such a surface a face met
// on two of the rings holds two of the triangle's nodes, so it is the triangle itself or the
// face across the side between them: skipping those where they come again counts each face
// once, in the order the stamps would, so the sum is the same to the last bit.
bool SumOverCycles(const RingWalks& walks, std::span<const int32_t> across,
                   std::span<const int32_t> nodes, int32_t face, std::span<const double> thickness,
                   double own, double& sum, int32_t& count) {
  const size_t side = 3 * static_cast<size_t>(face);
  if (side + 2 >= across.size()) return false;
  const int32_t across01 = across[side] >> 1, across12 = across[side + 1] >> 1,
                across20 = across[side + 2] >> 1;
  if (across01 == across12 || across12 == across20 || across20 == across01 || across01 == face ||
      across12 == face || across20 == face) {
    return false;
  }
  RingWalks::Cycle cycles[3];
  for (int k = 0; k < 3; ++k) {
    cycles[k] = walks.CycleFrom(nodes[static_cast<size_t>(k)], face);
    if (cycles[k].length == 0) return false;
  }
  // The faces met again on each ring: none on the first; on the second the face across the side
  // from the first node to it; on the third those across its sides to the other two.
  const int32_t again[3][2] = {{-1, -1}, {across01, across01}, {across12, across20}};
  double s = 0.0;
  int32_t c = 0;
  for (int k = 0; k < 3; ++k) {
    const RingWalks::Cycle& cycle = cycles[k];
    auto add = [&](int32_t g) {
      if (g < 0 || static_cast<size_t>(g) >= thickness.size() || g == again[k][0] ||
          g == again[k][1]) {
        return;
      }
      s += std::abs(thickness[static_cast<size_t>(g)] - own) / own;
      ++c;
    };
    cycle.ForEachAfterStart(add);
  }
  sum = s;
  count = c;
  return true;
}

}  // namespace

void FThickGrad(SMesh& mesh, std::span<const double> thickness, std::span<double> gradient) {
  Trace("## FThickGrad : ");
  // The walks cross sides only: a table of the faces across them, when the mesh allows one,
  // serves them without the edge list, which then need not be brought up to date. The check
  // listed them, and that table stands while no face has been turned since.
  const bool asBuilt = SidesAcrossDescribeFaces(mesh);
  LargeVector<int32_t> ownList;
  if (!asBuilt) {
    // The check may have listed the faces across without the edge list that SidesAcross reads.
    if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
    ownList = SidesAcross(mesh);
  }
  const std::span<const int32_t> across = asBuilt ? mesh.edgeHash.SidesAcrossAsBuilt() : ownList;
  if (across.empty()) RebuildEdgeHash(mesh);
  if (mesh.szelem < 1 || mesh.nbFaces <= 0) return;
  const size_t nbFaces = static_cast<size_t>(mesh.nbFaces);
  if (thickness.size() < nbFaces || gradient.size() < nbFaces) return;

  // stamp[g] == i + 1 once face g has been counted for face i: no clearing between faces.
  LargeVector<uint32_t> stamp(nbFaces, 0);
  RingWalks walks(mesh, across);
  const std::span<const int32_t> elem = mesh.elem;

  constexpr int32_t kReadAhead = 8;
  int32_t face = 0;
  for (int32_t pos = 0; pos < mesh.szelem && face < mesh.nbFaces;
       pos = NextFacePos(elem, pos), ++face) {
    // Each node's ring lies anywhere: asked for a few faces ahead, its place in the index
    // first. The check let triangles only through, four entries each; on any other mesh the
    // read-ahead merely reads the wrong nodes.
    for (int32_t k = 1; k <= 3; ++k) {
      const int64_t far = int64_t{pos} + 4 * kReadAhead + k;
      const int64_t near = int64_t{pos} + 4 * (kReadAhead / 2) + k;
      if (far < mesh.szelem) walks.PrefetchIndexOf(elem[static_cast<size_t>(far)]);
      if (near < mesh.szelem) walks.PrefetchRingOf(elem[static_cast<size_t>(near)]);
    }
    const uint32_t mark = static_cast<uint32_t>(face) + 1;
    const double own = thickness[static_cast<size_t>(face)];
    const int32_t n = elem[static_cast<size_t>(pos)];
    double sum = 0.0;
    int32_t count = 0;
    if (n == 3 && static_cast<size_t>(pos) + 4 <= elem.size() && own >= kThinnestComparable &&
        SumOverCycles(walks, across, elem.subspan(static_cast<size_t>(pos) + 1, 3), face,
                      thickness.first(nbFaces), own, sum, count)) {
      gradient[static_cast<size_t>(face)] = count > 0 ? sum / count : 0.0;
      continue;
    }
    // The face itself is never its own neighbour, even if a walk meets it again.
    stamp[static_cast<size_t>(face)] = mark;
    for (int32_t k = 1; k <= n && pos + k < mesh.szelem; ++k) {
      walks.ForEachAround(mesh, elem[static_cast<size_t>(pos + k)], face, pos, [&](int32_t g) {
        if (g < 0 || g >= mesh.nbFaces || stamp[static_cast<size_t>(g)] == mark) return;
        stamp[static_cast<size_t>(g)] = mark;
        if (!(own >= kThinnestComparable)) return;
        sum += std::abs(thickness[static_cast<size_t>(g)] - own) / own;
        ++count;
      });
    }
    // A face compared with nothing has no gradient to report.
    gradient[static_cast<size_t>(face)] = count > 0 ? sum / count : 0.0;
  }
}

}  // namespace vexmor
