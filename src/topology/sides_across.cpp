#include "topology/sides_across.h"

#include <algorithm>

#include "mesh/face_walk.h"
#include "mesh/smesh.h"
#include "topology/edge_list.h"

namespace vexmor {

LargeVector<int32_t> SidesAcross(const SMesh& mesh) {
  const int64_t nbFaces = mesh.nbFaces;
  if (nbFaces <= 0 || mesh.szelem != 4 * nbFaces ||
      mesh.elem.size() < static_cast<size_t>(mesh.szelem)) {
    return {};
  }
  const int32_t* elem = mesh.elem.data();
  const EdgeHash& edges = mesh.edgeHash;
  LargeVector<int32_t> across;
  across.reserve(3 * static_cast<size_t>(nbFaces));
  for (int32_t face = 0; face < nbFaces; ++face) {
    if (face + kReadAheadFaces < nbFaces) {
      PrefetchSideRecords(mesh, 4 * (face + kReadAheadFaces));
    }
    if (face + kReadAheadFaces / 2 < nbFaces) {
      PrefetchFacesAcross(mesh, 4 * (face + kReadAheadFaces / 2));
    }
    const int32_t pos = 4 * face;
    const int32_t* nodes = elem + pos + 1;
    if (elem[pos] != 3 || nodes[0] == nodes[1] || nodes[1] == nodes[2] || nodes[2] == nodes[0]) {
      return {};
    }
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t a = nodes[k], b = nodes[(k + 1) % 3];
      const int32_t number = FaceSideEdge(mesh, pos, k, a, b);
      if (number <= 0) return {};
      const Edge& e = edges.Record(number - 1);
      const int other = e.facePos[0] == pos ? 1 : 0;
      const int32_t otherPos = e.facePos[other];
      if (e.faceCount != 2 || e.facePos[1 - other] != pos || otherPos == pos || otherPos < 0 ||
          otherPos % 4 != 0 || otherPos >= mesh.szelem || e.faceIndex[other] != otherPos / 4) {
        return {};
      }
      const int32_t* o = elem + otherPos + 1;
      const int j = o[0] == a ? 0 : (o[1] == a ? 1 : (o[2] == a ? 2 : -1));
      if (j < 0) return {};
      int32_t same = 0;
      if (o[(j + 1) % 3] == b) {
        same = 1;
      } else if (o[(j + 2) % 3] != b) {
        return {};
      }
      across.push_back(2 * e.faceIndex[other] + same);
    }
  }
  return across;
}

namespace {

// A side listed under its smaller node: the larger node, and the side's number 3 f + k with
// the top bit set when the side runs from the smaller node to the larger.
struct ListedSide {
  int32_t high;
  uint32_t side;
};
constexpr uint32_t kRunsUpwards = 0x80000000u;

// A node with at most this many sides pairs them by search, one with more sorts them first.
constexpr uint32_t kPairedBySearch = 16;

}  // namespace

LargeVector<int32_t> MatchedSidesAcross(const SMesh& mesh) {
  const int64_t nbFaces = mesh.nbFaces, nbNodes = mesh.nbNodes;
  const int64_t sides = 3 * nbFaces;
  // Side numbers carry a flag in their top bit; one counter per node must stay in proportion
  // to the sides.
  if (nbFaces <= 0 || mesh.szelem != 4 * nbFaces ||
      mesh.elem.size() < static_cast<size_t>(mesh.szelem) || sides >= kRunsUpwards ||
      nbNodes <= 0 || nbNodes > 4 * sides + 1024) {
    return {};
  }
  const int32_t* elem = mesh.elem.data();
  // start[v + 1] counts the sides whose smaller node is v, then start[v] is where they begin.
  LargeVector<uint32_t> start(static_cast<size_t>(nbNodes) + 1, 0);
  for (int64_t f = 0; f < nbFaces; ++f) {
    const int32_t* nodes = elem + 4 * f + 1;
    if (nodes[-1] != 3 || nodes[0] == nodes[1] || nodes[1] == nodes[2] || nodes[2] == nodes[0]) {
      return {};
    }
    for (int k = 0; k < 3; ++k) {
      if (nodes[k] < 0 || nodes[k] >= nbNodes) return {};
    }
    for (int k = 0; k < 3; ++k)
      ++start[static_cast<size_t>(std::min(nodes[k], nodes[(k + 1) % 3])) + 1];
  }
  for (size_t v = 1; v < start.size(); ++v)
    start[v] += start[v - 1];
  LargeVector<ListedSide> listed(static_cast<size_t>(sides));
  // Filled through start[v], which moves to where the next node's sides begin.
  for (int64_t f = 0; f < nbFaces; ++f) {
    const int32_t* nodes = elem + 4 * f + 1;
    for (int k = 0; k < 3; ++k) {
      const int32_t a = nodes[k], b = nodes[(k + 1) % 3];
      const uint32_t side = static_cast<uint32_t>(3 * f + k) | (a < b ? kRunsUpwards : 0u);
      listed[start[static_cast<size_t>(std::min(a, b))]++] = {std::max(a, b), side};
    }
  }
  LargeVector<int32_t> across(static_cast<size_t>(sides));
  auto pair = [&](const ListedSide& x, const ListedSide& y) {
    const uint32_t sx = x.side & ~kRunsUpwards, sy = y.side & ~kRunsUpwards;
    const int32_t same = (x.side & kRunsUpwards) == (y.side & kRunsUpwards) ? 1 : 0;
    across[sx] = 2 * static_cast<int32_t>(sy / 3) + same;
    across[sy] = 2 * static_cast<int32_t>(sx / 3) + same;
  };
  uint32_t begin = 0;
  for (size_t v = 0; v + 1 < start.size(); ++v) {
    const uint32_t end = start[v];
    ListedSide* first = listed.data() + begin;
    const uint32_t count = end - begin;
    begin = end;
    if (count % 2 != 0) return {};
    if (count <= kPairedBySearch) {
      // Each side not paired yet meets its partner among the later ones, and must meet exactly
      // one: a third side of the pair would be a later match too. Counting the matches without a
      // branch costs less than sorting a handful of sides.
      uint32_t paired = 0;
      for (uint32_t i = 0; i < count; ++i) {
        if ((paired >> i & 1u) != 0) continue;
        uint32_t matches = 0, partner = 0;
        for (uint32_t k = i + 1; k < count; ++k) {
          const bool match = first[k].high == first[i].high;
          matches += match ? 1u : 0u;
          partner = match ? k : partner;
        }
        if (matches != 1) return {};
        paired |= 1u << partner;
        pair(first[i], first[partner]);
      }
      continue;
    }
    // Sorted by their larger node, the sides of each node pair lie together.
    std::sort(first, first + count,
              [](const ListedSide& x, const ListedSide& y) { return x.high < y.high; });
    for (uint32_t i = 0; i < count; i += 2) {
      const ListedSide& x = first[i];
      const ListedSide& y = first[i + 1];
      // Two sides per pair: a third would follow them.
      if (x.high != y.high || (i + 2 < count && first[i + 2].high == x.high)) return {};
      pair(x, y);
    }
  }
  return across;
}

}  // namespace vexmor
