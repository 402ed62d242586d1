/*
 * vexmor_read.h - the vexmor program's mesh readers, for callers that load shared libraries
 * (the Python package reads files through it). Built as libvexmor_read.so, apart from the
 * analysis library, which exports its eight functions and nothing else.
 *
 * Reads STL (text and binary), OBJ, OFF and PLY exactly as the program does: the format comes
 * from the extension, or from the content when the extension names none; STL points that are
 * exactly equal are welded into one node; the file's node and face order is kept.
 */
#ifndef VEXMOR_READ_H
#define VEXMOR_READ_H

#include <stdint.h>

#if defined(_WIN32)
#define VEXMOR_READ_API __declspec(dllexport)
#else
#define VEXMOR_READ_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A mesh read from a file, owned by the library until VXR_Free. On failure every count is 0,
 * every array NULL and `error` names the file, the place in it and what was wrong. */
typedef struct VXR_Mesh {
  int64_t nodeCount;         /* nodes */
  int64_t faceCount;         /* faces */
  int64_t nodeRefCount;      /* total of the faces' node counts */
  const double* coordinates; /* 3 * nodeCount doubles, x y z per node */
  const int32_t* faceSizes;  /* faceCount node counts, one per face */
  const int32_t* faceNodes;  /* nodeRefCount node numbers (0-based), the faces back to back */
  const char* format;        /* e.g. "binary STL"; empty on failure */
  const char* notes;         /* what the reader noticed, one line each; may be empty */
  const char* error;         /* empty on success */
} VXR_Mesh;

/*
 * Reads the mesh file at `path` (UTF-8). With mergeEqualNodesIfOpen non-zero, nodes at exactly
 * equal positions are merged when that leaves fewer open and non-manifold edges, as the program
 * does before analysing (some exporters repeat a node for every face around it); a note then
 * says so. Returns NULL only when even the result record cannot be allocated.
 */
VEXMOR_READ_API VXR_Mesh* VXR_Read(const char* path, int32_t mergeEqualNodesIfOpen);

/* Releases a mesh returned by VXR_Read; NULL is allowed. */
VEXMOR_READ_API void VXR_Free(VXR_Mesh* mesh);

#ifdef __cplusplus
}
#endif

#endif /* VEXMOR_READ_H */
