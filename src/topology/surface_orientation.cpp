#include "topology/surface_orientation.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

#include "geometry/face_normal.h"
#include "geometry/ray_probe.h"
#include "geometry/vec3.h"
#include "mesh/large_array.h"
#include "mesh/smesh.h"
#include "topology/face_turn.h"
#include "topology/volumes.h"

namespace vexmor {
namespace {

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
  if (!GroupFaces(mesh, *seed, volumes, mesh.edgeHash.SidesAcrossAsBuilt())) return {};

  std::vector<VolumeRecord> records(static_cast<size_t>(volumes.Count()));
  records[0] = {0, kVolumeDecided};
  FacingDecider(mesh, volumes, records).DecideAll();
  return records;
}

void FlipVolume(SMesh& mesh, std::span<const FaceRef> volumeFaces) {
  for (const FaceRef& f : volumeFaces)
    TurnFace(mesh, f.facePos);
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
