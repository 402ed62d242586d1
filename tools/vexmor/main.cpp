// vexmor: runs the library on a built-in part and prints the draft of each face.
#include <cstdio>
#include <vector>

#include "vexmor.h"

int main() {
  // A 40 x 20 x 10 block.
  const std::vector<double> coords = {0, 0, 0,  40, 0, 0,  40, 20, 0,  0, 20, 0,
                                      0, 0, 10, 40, 0, 10, 40, 20, 10, 0, 20, 10};
  const std::vector<int32_t> elem = {3, 0, 2, 1, 3, 0, 3, 2, 3, 4, 5, 6, 3, 4, 6, 7,
                                     3, 0, 1, 5, 3, 0, 5, 4, 3, 3, 7, 6, 3, 3, 6, 2,
                                     3, 0, 4, 7, 3, 0, 7, 3, 3, 1, 2, 6, 3, 1, 6, 5};
  const double pull[3] = {0, 0, 1};
  std::vector<double> draft(12);
  const int status = VX_Draft_Angle(8, static_cast<int32_t>(elem.size()), elem.data(),
                                    coords.data(), draft.data(), pull);
  if (status != VX_STATUS_OK) {
    std::fprintf(stderr, "vexmor: draft analysis failed with status %d\n", status);
    return 1;
  }
  std::printf("Draft of the sample block against pull (0, 0, 1), cosine per face:\n");
  for (size_t f = 0; f < draft.size(); ++f)
    std::printf("  face %2zu  %+.6f\n", f, draft[f]);
  return 0;
}
