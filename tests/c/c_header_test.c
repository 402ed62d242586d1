/* The public header compiles as C, and a C program can call the library through it. */
#include <math.h>
#include <stdio.h>

#include "vexmor.h"

int main(void) {
  /* A regular tetrahedron standing on its base, base first. */
  const double coords[12] = {
      0, 0, 0, 1, 0, 0, 0.5, 0.8660254037844386, 0, 0.5, 0.28867513459481287, 0.816496580927726};
  const int32_t elem[16] = {3, 0, 2, 1, 3, 0, 1, 3, 3, 1, 2, 3, 3, 2, 0, 3};
  const double pull[3] = {0, 0, 2};
  double draft[4] = {0, 0, 0, 0};
  int32_t status = VX_Draft_Angle(4, 16, elem, coords, draft, pull);
  if (status != VX_STATUS_OK) {
    printf("VX_Draft_Angle returned %d\n", (int)status);
    return 1;
  }
  if (fabs(draft[0] + 1.0) > 1e-12 || fabs(draft[1] - 1.0 / 3.0) > 1e-12) {
    printf("unexpected draft %.17g %.17g\n", draft[0], draft[1]);
    return 1;
  }
  if (VX_Draft_Angle(-1, 16, elem, coords, draft, pull) != VX_STATUS_INVALID_INPUT) return 1;
  return 0;
}
