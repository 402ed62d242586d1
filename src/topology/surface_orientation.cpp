#include "topology/surface_orientation.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "geometry/face_normal.h"
#include "geometry/ray_probe.h"
#include "geometry/vec3.h"
#include "mesh/face_walk.h"
#include "mesh/large_array.h"
#include "mesh/smesh.h"
#include "topology/edge_list.h"
#include "topology/face_neighbours.h"
#include "topology/face_turn.h"

namespace vexmor {
namespace {

// The faces of every volume, volume after volume, each in the order in which its breadth-first
// growth met them. A volume's slice of the list is at once its work list while it grows and
// the list of faces that turning the volume walks.
class Volumes {
 public:
  explicit Volumes(int32_t nbFaces)
      : visited_(static_cast<size_t>(nbFaces), false),
        faceVolume_(static_cast<size_t>(nbFaces), -1) {
    faces_.reserve(static_cast<size_t>(nbFaces));
    starts_.push_back(0);
  }

  // Grows a new volume from start across shared sides, winding each new face to agree with
  // the face it was reached from. False when a face does not have a full set of neighbours.
  bool Grow(SMesh& mesh, FaceRef start, std::vector<FaceRef>& neighbours) {
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
    const int32_t volume = Count();
    for (size_t i = begin; i < faces_.size(); ++i)
      faceVolume_[static_cast<size_t>(faces_[i].faceIndex)] = volume;
    starts_.push_back(faces_.size());
    return true;
  }

  int32_t Count() const { return static_cast<int32_t>(starts_.size()) - 1; }
  int32_t Grouped() const { return static_cast<int32_t>(faces_.size()); }
  bool Visited(int32_t faceIndex) const { return visited_[static_cast<size_t>(faceIndex)]; }
  // Volume number of a face, or -1 for a face that belongs to no volume.
  int32_t VolumeOf(int32_t faceIndex) const {
    return Known(faceIndex) ? faceVolume_[static_cast<size_t>(faceIndex)] : -1;
  }
  std::span<const FaceRef> Faces(int32_t volume) const {
    const size_t v = static_cast<size_t>(volume);
    return std::span<const FaceRef>(faces_).subspan(starts_[v], starts_[v + 1] - starts_[v]);
  }

 private:
  bool Known(int32_t faceIndex) const {
    return faceIndex >= 0 && static_cast<size_t>(faceIndex) < visited_.size();
  }
  void Visit(FaceRef f) {
    visited_[static_cast<size_t>(f.faceIndex)] = true;
    faces_.push_back(f);
  }

  static constexpr size_t kReadAhead = 16;

  LargeVector<FaceRef> faces_;
  std::vector<size_t> starts_;  // volume v is faces_[starts_[v]] .. faces_[starts_[v + 1] - 1]
  std::vector<bool> visited_;
  LargeVector<int32_t> faceVolume_;
};

// Groups every face into a volume, starting with the seed's. False when some face lacks a
// full set of neighbours.
bool GroupFaces(SMesh& mesh, FaceRef seed, Volumes& volumes) {
  std::vector<FaceRef> neighbours;
  if (!volumes.Grow(mesh, seed, neighbours)) return false;
  // Later volumes start at the first face, in connectivity order, not grouped yet; faces
  // before the cursor are all grouped, so the cursor only moves forwards.
  const std::span<const int32_t> elem = mesh.Elem();
  FaceRef cursor{0, 0};
  while (volumes.Grouped() < mesh.nbFaces) {
    while (cursor.facePos < mesh.szelem && cursor.faceIndex < mesh.nbFaces &&
           volumes.Visited(cursor.faceIndex)) {
      cursor = {cursor.faceIndex + 1, NextFacePos(elem, cursor.facePos)};
    }
    if (cursor.facePos >= mesh.szelem || cursor.faceIndex >= mesh.nbFaces) return false;
    if (!volumes.Grow(mesh, cursor, neighbours)) return false;
  }
  return true;
}

Vec3 NormalAt(const SMesh& mesh, FaceRef f) {
  double n[3] = {0.0, 0.0, 0.0};
  FaceNormalAt(mesh, f.facePos, n);
  return Vec3::Load(n);
}

// Decides the facing of every volume but the seed's with ray probes. A probe from a face F
// against its normal lists the faces it crosses; read from the outside inwards, the last
// surface crossed must be left along the ray, the one before entered, and so on alternately.
class FacingDecider {
 public:
  FacingDecider(SMesh& mesh, const Volumes& volumes, std::vector<VolumeRecord>& records)
      : mesh_(mesh), volumes_(volumes), records_(records) {}

  void DecideAll() {
    // States only move from undecided to decided, so the first face in connectivity order of
    // an undecided volume is the first face of the lowest-numbered undecided volume.
    for (int32_t v = 1; v < volumes_.Count(); ++v) {
      if (records_[static_cast<size_t>(v)].state == kVolumeUndecided) DecideFrom(v);
    }
  }

 private:
  // Probes from the first face of volume v. Decides v and every undecided volume crossed.
  void DecideFrom(int32_t v) {
    const FaceRef f = ProbeInRayOrder(v);
    // Nothing behind F: the ray left the part at once, so F faced inwards.
    if (crossed_.empty()) Flip(v);
    const Vec3 n0 = NormalAt(mesh_, f);
    if (crossed_.size() <= 1) {
      DecideByOwnProbe(v);
      return;
    }

    const FaceRef g = crossed_.back();  // the last surface crossed before leaving the box
    const int32_t gv = volumes_.VolumeOf(g.faceIndex);
    Vec3 n1 = NormalAt(mesh_, g);
    if (IsUndecided(gv)) {
      // G's own probe crosses its volume an odd number of times when G faces outwards.
      RayCrossedFaces(mesh_, crossedFromLast_, g.facePos);
      int32_t own = 0;
      for (const FaceRef& h : crossedFromLast_)
        own += volumes_.VolumeOf(h.faceIndex) == gv ? 1 : 0;
      if (own % 2 == 0) {
        Flip(gv);
        n1 = NormalAt(mesh_, g);
      }
      DecideByOwnProbe(gv);
    }

    // Leaving direction along the ray: G, decided, faces it.
    const Vec3 d = Dot(n0, n1) >= 0.0 ? n0 : -n0;
    size_t t = 0;
    for (auto it = crossed_.rbegin(); it != crossed_.rend(); ++it, ++t) {
      const int32_t hv = volumes_.VolumeOf(it->faceIndex);
      if (!IsUndecided(hv)) continue;
      if (MustFlip(t, Dot(d, NormalAt(mesh_, *it)))) Flip(hv);
      records_[static_cast<size_t>(hv)].state = kVolumeDecidedOnTheWay;
    }

    // The probe crossed no face of F's own volume (it left F's body at once and met only other
    // bodies): F itself is the next surface of the alternation, one step further in than the
    // first face crossed. Deciding it here keeps the next round from repeating this probe.
    if (IsUndecided(v)) {
      if (MustFlip(crossed_.size(), Dot(d, n0))) Flip(v);
      DecideByOwnProbe(v);
    }
  }

  // Probes from the first face of volume v, in connectivity order, into crossed_, and returns
  // the face probed. The reading from the outside inwards needs the crossings in the order of
  // the ray, but within one step the probe lists them in the order of the search: two walls
  // crossed within one step (a thin wall, a sharp ridge) may come the wrong way round, and the
  // last face listed is then not where the ray leaves. When the probe says so, the next faces
  // of v in connectivity order are probed in turn, at most kReprobes of them, and the first
  // whose crossings come in the order of the ray is probed from instead. When none does, the
  // first probe stands.
  FaceRef ProbeInRayOrder(int32_t v) {
    const FaceRef first = volumes_.Faces(v).front();
    bool outOfOrder = false;
    RayCrossedFaces(mesh_, crossed_, first.facePos, kAllFaces, &outOfOrder);
    if (!outOfOrder) return first;
    std::vector<FaceRef> later;
    for (const FaceRef& g : volumes_.Faces(v)) {
      if (g.faceIndex > first.faceIndex) later.push_back(g);
    }
    const size_t tries = std::min(later.size(), kReprobes);
    std::partial_sort(later.begin(), later.begin() + static_cast<std::ptrdiff_t>(tries),
                      later.end(), [](FaceRef a, FaceRef b) { return a.faceIndex < b.faceIndex; });
    for (size_t i = 0; i < tries; ++i) {
      RayCrossedFaces(mesh_, reprobe_, later[i].facePos, kAllFaces, &outOfOrder);
      if (!outOfOrder) {
        crossed_.swap(reprobe_);
        return later[i];
      }
    }
    return first;
  }

  // At an even step from the outside the surface is left along d, at an odd step entered.
  static bool MustFlip(size_t t, double dot) { return t % 2 == 0 ? dot < 0.0 : dot > 0.0; }

  bool IsUndecided(int32_t v) const {
    return v >= 0 && records_[static_cast<size_t>(v)].state == kVolumeUndecided;
  }
  void Flip(int32_t v) { FlipVolume(mesh_, volumes_.Faces(v)); }
  void DecideByOwnProbe(int32_t v) {
    records_[static_cast<size_t>(v)] = {nextShellNumber_++, kVolumeDecided};
  }

  SMesh& mesh_;
  const Volumes& volumes_;
  std::vector<VolumeRecord>& records_;
  static constexpr size_t kAllFaces = std::numeric_limits<size_t>::max();
  static constexpr size_t kReprobes = 8;

  std::vector<FaceRef> crossed_;
  std::vector<FaceRef> reprobe_;
  std::vector<FaceRef> crossedFromLast_;
  int32_t nextShellNumber_ = 1;
};

}  // namespace

std::vector<VolumeRecord> S2V(SMesh& mesh) {
  const std::optional<FaceRef> seed = OrientSeedFace(mesh);
  if (!seed || mesh.nbFaces < 1) return {};
  Volumes volumes(mesh.nbFaces);
  if (!GroupFaces(mesh, *seed, volumes)) return {};

  std::vector<VolumeRecord> records(static_cast<size_t>(volumes.Count()));
  records[0] = {0, kVolumeDecided};
  FacingDecider(mesh, volumes, records).DecideAll();
  return records;
}

void FlipVolume(SMesh& mesh, std::span<const FaceRef> volumeFaces) {
  const std::span<int32_t> elem = mesh.Elem();
  for (const FaceRef& f : volumeFaces)
    TurnFace(elem, f.facePos);
}

void FaceNormalAt(const SMesh& mesh, int32_t facePos, double n[3]) {
  const std::span<const int32_t> elem = mesh.Elem();
  if (facePos < 0 || static_cast<size_t>(facePos) >= elem.size()) return;
  const int32_t count = elem[static_cast<size_t>(facePos)];
  if (count < 3 || elem.size() - static_cast<size_t>(facePos) <= static_cast<size_t>(count)) {
    return;
  }
  // Earlier triples of a larger face would only be overwritten: the last one is the answer.
  const int32_t* last = elem.data() + facePos + count - 2;
  double tri[9];
  for (int k = 0; k < 3; ++k)
    Vec3::Load(mesh.Node(last[k])).Store(tri + 3 * k);
  Compute_FaceNormal(n, tri);
}

}  // namespace vexmor
