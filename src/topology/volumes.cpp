#include "topology/volumes.h"

#include <utility>

#include "mesh/face_walk.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "topology/edge_list.h"
#include "topology/face_neighbours.h"
#include "topology/face_turn.h"
#include "topology/sides_across.h"

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

bool Volumes::GrowAcross(std::span<const int32_t> across, FaceRef start, uint8_t startTurned,
                         std::span<uint8_t> turn) {
  if (!Known(start.faceIndex) || visited_[static_cast<size_t>(start.faceIndex)]) return false;
  const size_t begin = faces_.size();
  turn[static_cast<size_t>(start.faceIndex)] = startTurned;
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

}  // namespace

bool GroupFacesByWalk(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  std::vector<FaceRef> neighbours;
  return GrowAll(mesh, seed, volumes,
                 [&](FaceRef start) { return volumes.Grow(mesh, start, neighbours); });
}

bool GroupTriangles(SMesh& mesh, FaceRef seed, Volumes& volumes,
                    std::span<const int32_t> sidesAcross) {
  if (seed.faceIndex < 0 || seed.faceIndex >= mesh.nbFaces ||
      seed.facePos != 4 * static_cast<int64_t>(seed.faceIndex)) {
    return false;
  }
  // The build's list describes the faces as the build found them; the seed alone may have been
  // turned since. The face across its side 0 as listed holds that side's nodes: the seed's first
  // node, which a turn keeps, and the one that was second, which a turn makes third.
  const size_t nbFaces = static_cast<size_t>(mesh.nbFaces);
  uint8_t seedTurned = 0;
  bool listedByBuild = !sidesAcross.empty();
  if (listedByBuild) {
    if (sidesAcross.size() != 3 * nbFaces) return false;
    const size_t g = static_cast<size_t>(sidesAcross[3 * static_cast<size_t>(seed.faceIndex)] >> 1);
    if (g >= nbFaces) return false;
    const int32_t* nodes = mesh.elem.data() + seed.facePos + 1;
    const int32_t* other = mesh.elem.data() + 4 * g + 1;
    auto holds = [&](int32_t node) {
      return other[0] == node || other[1] == node || other[2] == node;
    };
    // Holding both, the face across has the seed's three nodes: no telling, the walk decides.
    if (holds(nodes[1]) == holds(nodes[2])) return false;
    seedTurned = holds(nodes[2]) ? 1 : 0;
    // Any other turn since the build leaves the list behind the faces: list them anew.
    listedByBuild = mesh.edgeHash.FacesTurned() == seedTurned;
    if (!listedByBuild) seedTurned = 0;
  }
  LargeVector<int32_t> ownList;
  if (!listedByBuild) {
    // The check may have listed the faces across without the edge list that SidesAcross reads.
    if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
    ownList = SidesAcross(mesh);
  }
  const std::span<const int32_t> across = listedByBuild ? sidesAcross : ownList;
  if (across.size() != 3 * nbFaces) return false;
  LargeVector<uint8_t> turn(static_cast<size_t>(mesh.nbFaces), 0);
  const bool grouped = GrowAll(mesh, seed, volumes, [&](FaceRef start) {
    return volumes.GrowAcross(across, start, start == seed ? seedTurned : 0, turn);
  });
  if (!grouped) return false;
  for (int32_t face = 0; face < mesh.nbFaces; ++face) {
    const uint8_t now = face == seed.faceIndex ? seedTurned : 0;
    if (turn[static_cast<size_t>(face)] != now) TurnFace(mesh, 4 * face);
  }
  return true;
}

bool GroupFaces(SMesh& mesh, FaceRef seed, Volumes& volumes, std::span<const int32_t> sidesAcross) {
  if (GroupTriangles(mesh, seed, volumes, sidesAcross)) return true;
  // Declined: faces the list cannot stand for, or a surface that cannot be wound consistently,
  // whose faces the walk turns back and forth in an order of its own that only walking gives.
  volumes = Volumes(mesh.nbFaces);
  if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
  return GroupFacesByWalk(mesh, seed, volumes);
}

}  // namespace vexmor
