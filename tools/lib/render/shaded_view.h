// One view of the part drawn with Cairo: faces projected, sorted far to near and painted in that
// order (the nearer face covers the farther one), each in its colour darkened by flat shading
// from a light above the viewer's left shoulder, so that the shape reads through the colours.
//
// Faces whose projection fits inside one pixel of the picture are not drawn one by one: each
// such face is assigned to the pixel holding its centre, and each pixel is painted once, at its
// nearest small face's depth and in that face's shaded colour. A million-face part thus costs
// at most one square per pixel, and a picture's size and drawing time follow its pixel count,
// not the face count.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "mesh/mesh.h"
#include "render/view_camera.h"
#include "report/colour_map.h"

namespace vexmor::cli {

class ShadedView {
 public:
  // `fit` places the part in the rectangle (x, y, width, height) of the picture, in picture
  // units; `pixel` is the size of one pixel of the output in the same units. `cullSign` +1
  // skips the faces wound away from the viewer (a surface wound outwards throughout), -1 those
  // wound towards it (wound inwards), 0 none: every face is then sorted and painted, and the
  // nearer ones cover the rest.
  ShadedView(const Mesh& mesh, const ViewFit& fit, double x, double y, double width, double height,
             double pixel, int cullSign);

  // Paints the faces on `cr`, whose user space is the picture's, in `faceColours` (one per face).
  // `grow` > 0 moves each face's corners that far out from its centre, so that neighbouring
  // faces overlap a little and antialiased vector viewers show no hairline seams between them.
  void draw(cairo_t* cr, const std::vector<Rgb>& faceColours, double grow) const;

  size_t paintedFaces() const { return paintedFaces_; }                   // faces drawn one by one
  size_t paintedPixels() const { return order_.size() - paintedFaces_; }  // merged pixels

 private:
  struct Item {
    float depth;
    uint32_t face;
    int32_t cell;  // the merged pixel, or -1 for a face drawn whole
  };
  // The face's outline moved outwards by `grow`, as the current path.
  void GrownPolygon(cairo_t* cr, std::span<const int32_t> face, double grow) const;

  const Mesh& mesh_;
  double x_, y_, pixel_;
  int cellsX_ = 0;
  std::vector<float> screen_;  // x, y of each node
  std::vector<float> shade_;   // per face, 0 to 1
  std::vector<Item> order_;    // far to near
  size_t paintedFaces_ = 0;
};

}  // namespace vexmor::cli
