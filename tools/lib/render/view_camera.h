// An orthographic view of the part: the screen's right and up directions and the direction
// towards the viewer, and the fit that maps the part into a rectangle of the picture.
#pragma once

#include "mesh/mesh.h"

namespace vexmor::cli {

inline double Dot(const Vec3& a, const Vec3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

struct ViewCamera {
  Vec3 right, up, toward;  // orthonormal; right x up = toward

  // From the front right and above, the three axes equally foreshortened; z points up.
  static ViewCamera Isometric();
  // Looking down `direction` from its far side (the mould half that leaves along the pull):
  // z points up in the picture unless the direction is nearly z, then y does.
  static ViewCamera Along(const Vec3& direction);
};

struct ScreenPoint {
  double x, y;   // picture units, y down
  double depth;  // larger is nearer the viewer
};

// Places the part's projection, centred and as large as fits, in the rectangle (x, y, width,
// height) of the picture.
class ViewFit {
 public:
  ViewFit(const Mesh& mesh, const ViewCamera& camera, double x, double y, double width,
          double height);
  ScreenPoint project(const Vec3& p) const;
  const ViewCamera& camera() const { return camera_; }
  // Picture units per unit of the file.
  double scale() const { return scale_; }

 private:
  ViewCamera camera_;
  double scale_ = 1, centreU_ = 0, centreV_ = 0, centreX_ = 0, centreY_ = 0;
};

}  // namespace vexmor::cli
