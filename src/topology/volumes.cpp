#include "topology/volumes.h"

#include <utility>

#include "mesh/face_walk.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "topology/edge_list.h"
#include "topology/face_neighbours.h"
#include "topology/face_turn.h"

namespace vexmor {

Volumes::Volumes(int32_t nbFaces)
    : visited_(static_cast<size_t>(nbFaces), false), faceVolume_(static_cast<size_t>(nbFaces), -1) {
  faces_.reserve(static_cast<size_t>(nbFaces));
  starts_.push_back(0);
}

bool Volumes::Grow(SMesh& mesh, FaceRef start, std::vector<FaceRef>& neighbours) {
  if (!Known(start.faceIndex) || visited_[static_cast<size_t>(start.faceIndex)]) return false;
  const size_t begin = faces_.size();
  Visit(start);
  for (size_t i = begin; i < faces_.size(); ++i) {
    // The faces queued next are scattered over the tables: their reads are asked for a few
    // faces ahead, each stage once the one before it has had time to arrive.
    if (i + kReadAhead < faces_.size()) PrefetchSideEdges(mesh, faces_[i + kReadAhead].facePos);
    if (i + kReadAhead / 2 < faces_.size()) {
      PrefetchSideRecords(mesh, faces_[i + kReadAhead / 2].facePos);
    }
    if (i + kReadAhead / 4 < faces_.size()) {
      PrefetchFacesAcross(mesh, faces_[i + kReadAhead / 4].facePos);
    }
    if (!FaceNeighbours_1Ring(mesh, faces_[i].facePos, neighbours) || neighbours.empty()) {
      return false;
    }
    for (const FaceRef& n : neighbours) {
      if (!Known(n.faceIndex)) return false;
      if (!visited_[static_cast<size_t>(n.faceIndex)]) Visit(n);
    }
  }
  Close();
  return true;
}

bool Volumes::GrowAcross(std::span<const int32_t> across, FaceRef start, std::span<uint8_t> turn) {
  if (!Known(start.faceIndex) || visited_[static_cast<size_t>(start.faceIndex)]) return false;
  const size_t begin = faces_.size();
  turn[static_cast<size_t>(start.faceIndex)] = 0;
  Visit(start);
  for (size_t i = begin; i < faces_.size(); ++i) {
    if (i + kReadAhead < faces_.size()) {
      PrefetchForRead(across.data() + 3 * static_cast<size_t>(faces_[i + kReadAhead].faceIndex));
    }
    const size_t face = static_cast<size_t>(faces_[i].faceIndex);
    const uint8_t turned = turn[face];
    const int32_t* sides = across.data() + 3 * face;
    for (int s = 0; s < 3; ++s) {
      // The walk takes a face's sides in its current winding: a turned triangle (a, c, b) runs
      // (a, c), (c, b), (b, a), the sides of (a, b, c) backwards.
      const int32_t entry = sides[turned != 0 ? 2 - s : s];
      const int32_t next = entry >> 1;
      // A neighbour running the side as this face does now must be turned.
      const uint8_t wanted = static_cast<uint8_t>((entry & 1) ^ turned);
      if (!visited_[static_cast<size_t>(next)]) {
        turn[static_cast<size_t>(next)] = wanted;
        Visit({next, 4 * next});
      } else if (turn[static_cast<size_t>(next)] != wanted) {
        return false;
      }
    }
  }
  Close();
  return true;
}

void Volumes::Close() {
  const int32_t volume = Count();
  for (size_t i = starts_.back(); i < faces_.size(); ++i)
    faceVolume_[static_cast<size_t>(faces_[i].faceIndex)] = volume;
  starts_.push_back(faces_.size());
}

namespace {

// Grows the seed's volume, then one from each face, in connectivity order, not grouped yet.
// Faces before the cursor are all grouped, so the cursor only moves forwards.
template <class GrowFrom>
bool GrowAll(const SMesh& mesh, FaceRef seed, Volumes& volumes, GrowFrom&& growFrom) {
  if (!growFrom(seed)) return false;
  const std::span<const int32_t> elem = mesh.Elem();
  FaceRef cursor{0, 0};
  while (volumes.Grouped() < mesh.nbFaces) {
    while (cursor.facePos < mesh.szelem && cursor.faceIndex < mesh.nbFaces &&
           volumes.Visited(cursor.faceIndex)) {
      cursor = {cursor.faceIndex + 1, NextFacePos(elem, cursor.facePos)};
    }
    if (cursor.facePos >= mesh.szelem || cursor.faceIndex >= mesh.nbFaces) return false;
    if (!growFrom(cursor)) return false;
  }
  return true;
}

// The faces across the sides of every triangle, for GrowAcross: entry 3 f + k is twice the
// index of the face across side k of triangle f (from node k to node k + 1), plus 1 when that
// face runs the side the same way as f. Empty unless every face is a triangle (at position
// 4 f) of three distinct nodes, and the edge list gives each side two distinct faces, the
// second holding the side too: the cases where the walk reads its neighbours as this table
// says. Faces are taken in connectivity order, so the edge records and the faces across, read
// a few faces ahead, mostly lie near those read just before.
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

}  // namespace

bool GroupFacesByWalk(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  std::vector<FaceRef> neighbours;
  return GrowAll(mesh, seed, volumes,
                 [&](FaceRef start) { return volumes.Grow(mesh, start, neighbours); });
}

bool GroupTriangles(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  if (seed.facePos != 4 * static_cast<int64_t>(seed.faceIndex)) return false;
  const LargeVector<int32_t> across = SidesAcross(mesh);
  if (across.empty()) return false;
  LargeVector<uint8_t> turn(static_cast<size_t>(mesh.nbFaces), 0);
  const bool grouped = GrowAll(
      mesh, seed, volumes, [&](FaceRef start) { return volumes.GrowAcross(across, start, turn); });
  if (!grouped) return false;
  const std::span<int32_t> elem = mesh.Elem();
  for (int32_t face = 0; face < mesh.nbFaces; ++face) {
    if (turn[static_cast<size_t>(face)] != 0) TurnFace(elem, 4 * face);
  }
  return true;
}

bool GroupFaces(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  if (GroupTriangles(mesh, seed, volumes)) return true;
  // A surface that cannot be wound consistently: the walk turns its faces back and forth in an
  // order of its own, which only walking it reproduces.
  volumes = Volumes(mesh.nbFaces);
  return GroupFacesByWalk(mesh, seed, volumes);
}

}  // namespace vexmor
