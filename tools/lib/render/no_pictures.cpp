// The pictures in a build without Cairo (VEXMOR_PICTURES off): none. The program refuses
// --png, --svg and --pdf before analysing; these throw should anything else ask for a picture.
#include <stdexcept>

#include "render/picture.h"

namespace vexmor::cli {

bool PicturesAvailable() {
  return false;
}

void WritePicture(const Mesh&, const std::vector<FaceLayer>&, const PictureRequest&, PictureFormat,
                  const std::string&) {
  throw std::runtime_error(kNoPicturesMessage);
}

ScreenPoint PictureLocation(const Mesh&, const std::vector<FaceLayer>&, size_t, int, const Vec3&) {
  throw std::runtime_error(kNoPicturesMessage);
}

}  // namespace vexmor::cli
