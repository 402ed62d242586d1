/*
 * A Windows host as the DLL's users write one: it loads vexmor.dll at run time with
 * LoadLibrary, resolves the eight entry points by their plain names with GetProcAddress, calls
 * each on a closed plate 10 x 10 x 2 and checks the values.
 */
#include <float.h>
#include <math.h>
#include <stdio.h>
#include <windows.h>

#include "vexmor.h"

typedef int32_t(VEXMOR_CALL* NodeAnglesFn)(int32_t, int32_t, const int32_t*, const double*, double*,
                                           uint32_t);
typedef int32_t(VEXMOR_CALL* DraftFn)(int32_t, int32_t, const int32_t*, const double*, double*,
                                      const double*);
typedef int32_t(VEXMOR_CALL* EdgeAnglesFn)(int32_t, int32_t, const int32_t*, const double*,
                                           uint32_t*, int32_t*, double*, uint32_t);
typedef int32_t(VEXMOR_CALL* ThicknessFn)(int32_t, int32_t, const int32_t*, const double*, double*,
                                          uint8_t);
typedef int32_t(VEXMOR_CALL* GradientFn)(int32_t, int32_t, const int32_t*, const double*,
                                         const double*, double*);

static int failures = 0;

static void Expect(int ok, const char* what, int index, double value) {
  if (ok) return;
  printf("FAILED: %s [%d] = %.17g\n", what, index, value);
  ++failures;
}

static void ExpectNear(double value, double expected, double tolerance, const char* what,
                       int index) {
  Expect(fabs(value - expected) <= tolerance, what, index, value);
}

/* Casts between function pointer types go through void (*)(void), the type that stands for
 * any function. */
typedef void (*AnyFn)(void);

static AnyFn Resolve(HMODULE dll, const char* name) {
  AnyFn entry = (AnyFn)GetProcAddress(dll, name);
  if (entry == NULL) {
    printf("FAILED: GetProcAddress(\"%s\") error %lu\n", name, GetLastError());
    ++failures;
  }
  return entry;
}

/* A box [0,10] x [0,10] x [0,2] of 12 outward triangles (faces 0-1 bottom, 2-3 top, then the
 * four sides), and one node at its centre that no face uses: the distance query point. */
enum { kNodes = 9, kFaces = 12, kEdges = 18, kSize = 4 * kFaces };
static const double kCoords[3 * kNodes] = {0, 0,  0, 10, 0, 0,  0, 10, 0,  10, 10, 0, 0, 0,
                                           2, 10, 0, 2,  0, 10, 2, 10, 10, 2,  5,  5, 1};
static const int kQuads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                 {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};

int main(void) {
  int32_t elem[kSize];
  for (int q = 0, k = 0; q < 6; ++q) {
    const int* n = kQuads[q];
    const int32_t two[8] = {3, n[0], n[1], n[2], 3, n[0], n[2], n[3]};
    for (int i = 0; i < 8; ++i)
      elem[k++] = two[i];
  }

  HMODULE dll = LoadLibraryA("vexmor.dll");
  if (dll == NULL) {
    printf("FAILED: LoadLibrary(\"vexmor.dll\") error %lu\n", GetLastError());
    return 1;
  }
  NodeAnglesFn nodeAngles = (NodeAnglesFn)Resolve(dll, "VX_Diedral_Angle");
  DraftFn draft = (DraftFn)Resolve(dll, "VX_Draft_Angle");
  EdgeAnglesFn edgeAngles = (EdgeAnglesFn)Resolve(dll, "VX_Edge_Diedral_Angle");
  ThicknessFn distance = (ThicknessFn)Resolve(dll, "VX_Thickness_Computation_DN2S");
  ThicknessFn contact = (ThicknessFn)Resolve(dll, "VX_Thickness_Computation_LSCP");
  ThicknessFn sphere = (ThicknessFn)Resolve(dll, "VX_Thickness_Computation_LSR");
  GradientFn gradient = (GradientFn)Resolve(dll, "VX_Thickness_Gradient");
  ThicknessFn ray = (ThicknessFn)Resolve(dll, "VX_Thickness_RayTracing");
  if (failures) return 1;

  /* Normalised frame: the largest extent is 10, so scale = 10000 / 10. */
  const double scale = 1000.0;
  double node[kNodes], face[kFaces], face2[kFaces], edgeAngle[kEdges];
  int32_t edgeNodes[2 * kEdges];
  uint32_t edgeCount = 0;

  Expect(nodeAngles(kNodes, kSize, elem, kCoords, node, 0) == VX_STATUS_OK, "VX_Diedral_Angle", 0,
         0);
  for (int i = 0; i < 8; ++i)
    ExpectNear(node[i], 90.0, 1e-9, "corner dihedral angle", i);
  Expect(node[8] == -DBL_MAX, "unused node's dihedral angle", 8, node[8]);

  const double pull[3] = {0, 0, 5};
  Expect(draft(kNodes, kSize, elem, kCoords, face, pull) == VX_STATUS_OK, "VX_Draft_Angle", 0, 0);
  for (int f = 0; f < kFaces; ++f)
    Expect(face[f] == (f < 2 ? -1.0 : f < 4 ? 1.0 : 0.0), "draft", f, face[f]);

  Expect(
      edgeAngles(kNodes, kSize, elem, kCoords, &edgeCount, edgeNodes, edgeAngle, 0) == VX_STATUS_OK,
      "VX_Edge_Diedral_Angle", 0, 0);
  Expect(edgeCount == kEdges, "edge count", 0, edgeCount);
  int folds = 0;
  for (uint32_t e = 0; e < edgeCount && e < kEdges; ++e) {
    /* The box's 12 edges fold by 90 degrees; the 6 diagonals lie flat. */
    const int fold = fabs(edgeAngle[e] - 90.0) <= 1e-9;
    Expect(fold || fabs(edgeAngle[e]) <= 1e-9, "edge dihedral angle", (int)e, edgeAngle[e]);
    folds += fold;
  }
  Expect(folds == 12, "edges folded by 90 degrees", 0, folds);

  Expect(distance(kNodes, kSize, elem, kCoords, node, 0) == VX_STATUS_OK,
         "VX_Thickness_Computation_DN2S", 0, 0);
  for (int i = 0; i < 8; ++i)
    Expect(node[i] == 0.0, "distance of a corner", i, node[i]);
  ExpectNear(node[8], 1.0 * scale, 1e-9, "distance of the centre", 8);

  Expect(ray(kNodes, kSize, elem, kCoords, face, 0) == VX_STATUS_OK, "VX_Thickness_RayTracing", 0,
         0);
  for (int f = 0; f < kFaces; ++f)
    ExpectNear(face[f], f < 4 ? 2.0 : 10.0, 1e-9, "ray thickness", f);

  Expect(contact(kNodes, kSize, elem, kCoords, face, 0) == VX_STATUS_OK,
         "VX_Thickness_Computation_LSCP", 0, 0);
  for (int f = 0; f < 4; ++f)
    ExpectNear(face[f], 2.0, 1e-9, "contact thickness of the plate", f);

  Expect(sphere(kNodes, kSize, elem, kCoords, face, 0) == VX_STATUS_OK,
         "VX_Thickness_Computation_LSR", 0, 0);
  for (int f = 0; f < 4; ++f)
    ExpectNear(face[f], 1.0 * scale, 1e-3 * scale, "sphere radius of the plate", f);

  /* Face 0 (nodes 0 2 3) is twice as thick as the rest: it differs from each neighbour by
   * 2 / 4, and face 3 (nodes 4 7 6) shares none of its nodes. */
  for (int f = 0; f < kFaces; ++f)
    face[f] = f == 0 ? 4.0 : 2.0;
  Expect(gradient(kNodes, kSize, elem, kCoords, face, face2) == VX_STATUS_OK,
         "VX_Thickness_Gradient", 0, 0);
  Expect(face2[0] == 0.5, "gradient of the thick face", 0, face2[0]);
  Expect(face2[3] == 0.0, "gradient of a face away from it", 3, face2[3]);

  FreeLibrary(dll);
  if (failures) return 1;
  printf("vexmor.dll: the eight entry points loaded by name and measured the plate\n");
  return 0;
}
