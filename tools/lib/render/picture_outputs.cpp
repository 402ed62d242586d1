#include "render/picture_outputs.h"

#include "analysis/progress.h"
#include "render/face_layers.h"
#include "render/picture.h"

namespace vexmor::cli {

std::string LengthUnitOf(const Session& session) {
  return session.unit().empty() ? "file units" : session.unit();
}

void WriteRequestedPictures(Session& session) {
  const CommonOptions& options = session.options();
  const std::pair<const std::string*, PictureFormat> asked[] = {
      {&options.png, PictureFormat::kPng},
      {&options.svg, PictureFormat::kSvg},
      {&options.pdf, PictureFormat::kPdf}};
  std::vector<FaceLayer> layers;
  std::string why;
  bool built = false;
  for (const auto& [path, format] : asked) {
    if (path->empty()) continue;
    if (!built) {
      layers = FaceLayersOf(session.report(), session.mesh(), LengthUnitOf(session), &why);
      built = true;
    }
    if (layers.empty()) {
      session.fail(
          CommandError(kExitAnalysisFailed, "no picture written to " + *path + ": " + why));
      continue;
    }
    PictureRequest request;
    request.part = PartName(session.report().file);
    request.command = session.report().command;
    const MeshReport& mesh = session.meshReport();
    request.consistentWinding = mesh.closedAndManifold() && mesh.misorientedEdges == 0;
    try {
      Progress progress("drawing " + *path);
      WritePicture(session.mesh(), layers, request, format, *path);
      session.report().notes.push_back("picture written to " + *path);
    } catch (const std::exception& e) {
      session.fail(CommandError(kExitBadInput, e.what()));
    }
  }
}

}  // namespace vexmor::cli
