// The faces of a closed mesh grouped into volumes (connected surfaces), each wound
// consistently from the face it grew from: the first step of orienting the surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mesh/face_ref.h"
#include "mesh/large_array.h"

namespace vexmor {

struct SMesh;

// The faces of every volume, volume after volume, each in the order in which its breadth-first
// growth met them. A volume's slice of the list is at once its work list while it grows and
// the list of faces that turning the volume walks.
class Volumes {
 public:
  explicit Volumes(int32_t nbFaces);

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

  // Grows a new volume from start across shared sides, winding each new face to agree with
  // the face it was reached from. False when a face does not have a full set of neighbours.
  bool Grow(SMesh& mesh, FaceRef start, std::vector<FaceRef>& neighbours);

  // The same growth over triangles only, from GroupTriangles' table of the faces across their
  // sides, recording in `turn` which faces are to be turned from the winding the table was
  // listed for, instead of turning them; start is turned from it when startTurned. False,
  // with the volume left unfinished, where the walk would have to turn a face it has already
  // grouped: the surface cannot be wound consistently.
  bool GrowAcross(std::span<const int32_t> across, FaceRef start, uint8_t startTurned,
                  std::span<uint8_t> turn);

 private:
  bool Known(int32_t faceIndex) const {
    return faceIndex >= 0 && static_cast<size_t>(faceIndex) < visited_.size();
  }
  void Visit(FaceRef f) {
    visited_[static_cast<size_t>(f.faceIndex)] = true;
    faces_.push_back(f);
  }
  // Closes the volume whose faces are those visited since the last one closed.
  void Close();

  static constexpr size_t kReadAhead = 16;

  LargeVector<FaceRef> faces_;
  std::vector<size_t> starts_;  // volume v is faces_[starts_[v]] .. faces_[starts_[v + 1] - 1]
  std::vector<bool> visited_;
  LargeVector<int32_t> faceVolume_;
};

// Groups every face into a volume, starting with the seed's, and winds each volume to agree
// with its first face: the seed, then for each later volume its first face in connectivity
// order. False when some face lacks a full set of neighbours. `volumes` must be new; the edge
// list is built here when the walk needs it and there is none. GroupTriangles when it can, else
// GroupFacesByWalk: both give the same volumes, in the same order, and the same connectivity.
// sidesAcross, when not empty, is the table of the faces across each side that the edge list
// keeps (EdgeHash::SidesAcrossAsBuilt: listed by its build, or matched by the check); it is used
// only while no face but the seed has been turned since it was made.
bool GroupFaces(SMesh& mesh, FaceRef seed, Volumes& volumes,
                std::span<const int32_t> sidesAcross = {});

// The walk: each face's neighbours found through the edge list and turned as they are met.
bool GroupFacesByWalk(SMesh& mesh, FaceRef seed, Volumes& volumes);

// The same grouping for a mesh of triangles whose surfaces can each be wound consistently,
// with fewer scattered reads: the growth reads a list of the faces across each side, and the
// faces are turned at the end. The list is sidesAcross when given (as for GroupFaces), else
// SidesAcross'. False, leaving the connectivity as it was and `volumes` to be discarded, on any
// other mesh (a face of other than three distinct nodes, a side whose edge does not list two
// distinct faces, a surface that cannot be wound consistently), where only the walk gives the
// walk's result.
bool GroupTriangles(SMesh& mesh, FaceRef seed, Volumes& volumes,
                    std::span<const int32_t> sidesAcross = {});

}  // namespace vexmor
