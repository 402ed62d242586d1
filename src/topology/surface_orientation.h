// Surface-to-volume orientation: groups the faces of a closed triangle mesh into connected
// surfaces (volumes), winds each volume consistently and turns each volume to face the way ray
// probes find consistent: outwards for a body, into the cavity for a cavity.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/face_ref.h"

namespace vexmor {

struct SMesh;

// How a volume's facing was decided.
inline constexpr int32_t kVolumeUndecided = -1;
inline constexpr int32_t kVolumeDecided = 0;          // by its own probe (or it holds the seed)
inline constexpr int32_t kVolumeDecidedOnTheWay = 2;  // crossed by another volume's probe

struct VolumeRecord {
  // 0 for the volume of the seed face; 1, 2, ... for volumes decided by their own probe, in the
  // order of decision; -1 for a volume decided on the way of another volume's probe.
  int32_t shellNumber = -1;
  int32_t state = kVolumeUndecided;
  friend bool operator==(const VolumeRecord&, const VolumeRecord&) = default;
};

// Rewrites the connectivity so that every volume is wound consistently and faces the right
// way, and returns one record per volume, indexed by volume number: volume 0 grows from the
// outward seed face, the others are numbered in the order in which their first face appears in
// the connectivity. An empty list means that no volume could be defined (no seed face, or a
// face whose sides are not each shared by exactly two faces); turns made before stay made.
// Faces should be triangles (the mesh check guarantees it).
std::vector<VolumeRecord> S2V(SMesh& mesh);

// Turns every face of one volume, given as its list of faces.
void FlipVolume(SMesh& mesh, std::span<const FaceRef> volumeFaces);

// Unit normal of the face at facePos: that of its last three consecutive nodes, which for a
// triangle (P0, P1, P2) is along (P1 - P0) x (P2 - P0). A degenerate triangle leaves the raw
// cross product; a face of fewer than three nodes leaves n as it was.
void FaceNormalAt(const SMesh& mesh, int32_t facePos, double n[3]);

}  // namespace vexmor
