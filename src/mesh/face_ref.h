// A face named both by its ordinal and by where it starts in the connectivity.
#pragma once

#include <cstdint>

namespace vexmor {

struct FaceRef {
  int32_t faceIndex = 0;  // ordinal of the face in the connectivity, from 0
  int32_t facePos = 0;    // index of the face's count entry in the connectivity
  friend bool operator==(const FaceRef&, const FaceRef&) = default;
};

}  // namespace vexmor
