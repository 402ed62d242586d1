// The heat-map picture of a command's results: per analysis one row with the part in two
// shaded views side by side (isometric, and along the pull or down z), faces coloured by value,
// and a colour bar in the analysis' units that names the bad end and shows what is flagged;
// above the rows a title naming the part, the analyses and their thresholds. Written as PNG,
// SVG or PDF with Cairo. In SVG and PDF the text and colour bars are vectors; the views are
// vectors too while they take few shapes, and otherwise embedded images at twice the page's
// resolution, so that a million-face part still makes a file of a few megabytes at most.
#pragma once

#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "render/face_layers.h"
#include "render/view_camera.h"

namespace vexmor::cli {

enum class PictureFormat { kPng, kSvg, kPdf };

struct PictureRequest {
  std::string part;     // the part's name in the title
  std::string command;  // the subcommand, named in the title when it shows several analyses
  // Every edge joins two faces wound against each other: the faces turned away from a view
  // can be skipped (whichever way the surface is wound).
  bool consistentWinding = false;
};

// Whether this build draws pictures: false in a build without Cairo (VEXMOR_PICTURES off, as on
// Windows), where WritePicture and PictureLocation throw kNoPicturesMessage.
bool PicturesAvailable();
inline constexpr const char* kNoPicturesMessage =
    "this build of vexmor draws no pictures (it was built without Cairo): --png, --svg and --pdf "
    "are not available; 'vexmor report' writes the HTML report";

// Draws the picture and writes it to `path`; throws std::runtime_error naming the file when it
// cannot be written. `layers` must not be empty.
void WritePicture(const Mesh& mesh, const std::vector<FaceLayer>& layers,
                  const PictureRequest& request, PictureFormat format, const std::string& path);

// Where `point` of the part lands in that picture (in pixels of the PNG): in the row of
// layers[row], view 0 (isometric) or 1 (along the pull or down z).
ScreenPoint PictureLocation(const Mesh& mesh, const std::vector<FaceLayer>& layers, size_t row,
                            int view, const Vec3& point);

}  // namespace vexmor::cli
