/*
 * vexmor.h - geometric analysis of closed surface meshes of solid parts.
 *
 * The library exports eight functions. Each one copies the caller's mesh into a private
 * working mesh, checks it, runs one analysis, writes the results into arrays that the caller
 * owns and returns a status. Nothing is kept between calls.
 *
 * Mesh input, common to all eight functions (the four leading arguments):
 *   nbNodes       number of nodes.
 *   szelem        number of entries in the connectivity array.
 *   connectivity  szelem 32-bit integers: the faces back to back, each written as its node
 *                 count n followed by n node numbers (0-based). Two triangles sharing the edge
 *                 0-2 are the 8 entries {3, 0, 1, 2, 3, 0, 2, 3}. Faces are numbered from 0 in
 *                 array order ("caller faces"); a count entry of 0 or less counts as a face.
 *   coordinates   3 * nbNodes doubles, x y z per node, in the caller's length unit.
 * The node order of a face is its orientation (right-hand rule). Except for
 * VX_Thickness_Computation_DN2S, every function first checks the mesh: it must be closed
 * (every edge shared by exactly two faces) and made of triangles only (the thickness functions
 * LSCP, ray tracing and the gradient also accept quadrilaterals, which they split along the
 * diagonal from their first to their third node). The check turns the faces of each closed
 * volume outwards, so results do not depend on the caller's winding, with one exception: when
 * the check cannot find an outer face to start from, it prints "Unable to define the volume
 * (...)" on standard output and the mesh is analysed with the caller's winding (this needs
 * a surface that no probe from outside its box can reach, such as a flat, volume-less one).
 *
 * Normalised frame: internally the mesh is shifted so that its node box starts at the origin
 * and scaled by  scale = 10000 / (largest extent of the node box). Some results are returned
 * in that frame (said per function below); multiply by 1 / scale to get caller units.
 *
 * Status codes (the int32_t result of every function):
 *   VX_STATUS_OK             0  success, results written.
 *   VX_STATUS_ANALYSIS_FAILED 1 the analysis, or a preparation step of it, reported failure.
 *   VX_STATUS_MESH_REJECTED  2  the mesh check rejected the mesh (open, non-manifold, or faces
 *                               that the function does not accept); nothing is written.
 *   VX_STATUS_INVALID_INPUT  3  the arguments cannot describe a mesh; nothing is written and
 *                               nothing is allocated past the call. This is returned when:
 *                               - nbNodes or szelem is negative;
 *                               - nbNodes is below 2 or all nodes coincide (the node box has
 *                                 zero extent, so no normalised frame exists);
 *                               - a coordinate is NaN or infinite;
 *                               - connectivity or coordinates is NULL while its size is > 0;
 *                               - a count entry n > 0 announces nodes past the end of the
 *                                 connectivity array;
 *                               - a node number lies outside [0, nbNodes);
 *                               - a required output or input array (named per function below)
 *                                 is NULL.
 *                               Count entries of 0 or less that stay inside the array are
 *                               valid input: the mesh check rejects such meshes (status 2) and
 *                               the distance-to-surface thickness skips them.
 *
 * The library never writes the caller's input arrays, never reads or writes outside the arrays
 * whose sizes are stated here, and keeps no pointer to any of them after returning. An output
 * array is written only on status 0, except where a function says otherwise. The library
 * cannot detect an array shorter than its stated size: that remains the caller's duty.
 *
 * Degenerate but valid meshes finish with defined values; none of the functions writes NaN
 * unless the caller passed NaN as thickness to the gradient. Where the choice was ours:
 *   - Zero-area triangles (coincident or collinear nodes) have no normal. The draft and the
 *     dihedral angles take the normal (1, 0, 0) for a triangle whose cross product is shorter
 *     than 1.49e-8 in the normalised frame, and print "!!!! Undefined face normal (face N)"
 *     for the dihedral angles. The ray thickness casts no ray from a triangle whose cross
 *     product is zero and gives it 0; the rolling sphere does not grow from it, so LSCP and
 *     LSR give it 0 or a value below 1e-16 of the part's size. A triangle that is flat only up
 *     to rounding is measured along the normal that rounding gives it.
 *   - Needle triangles are measured like any other. A ray starts at the incircle centre, and
 *     a ray whose start lies within 1.49e-8 (normalised frame) of the side of a neighbour in
 *     the same plane counts that neighbour as crossed: the ray thickness of such a needle is
 *     about 0.
 *   - A repeated face, like any edge shared by more than two faces, is rejected (status 2);
 *     the distance-to-surface thickness measures every face as given.
 *   - Nodes are joined by their numbers only: coincident nodes with different numbers stay
 *     apart, so two bodies touching at such nodes are two closed surfaces, each turned
 *     outwards on its own.
 *   - A closed surface inside another bounds a cavity: its faces are turned to look into the
 *     cavity, and the thickness methods measure the wall between the two surfaces.
 *   - Closed surfaces that intersect, or that touch along faces lying in the same plane, are
 *     not merged: the faces of each are walls for the thickness of the others. Which way each
 *     one faces is decided by probe rays, which read the surfaces they cross as alternately
 *     entered and left; a body whose probe passes through another body, or through a face
 *     lying on another body's face, may therefore come out turned inwards. Merge such bodies
 *     into one closed surface before analysing them.
 *   - Size and position do not matter beyond rounding: a part 1e-9 or 1e9 in size, or 1e8
 *     away from the origin, gives the angles, the draft, the gradient and the normalised
 *     results of the same part at unit size and at the origin (to 1e-9 relative, 1e-6 at
 *     1e8 from the origin, 0.2 % for the rolling sphere, which stops within 0.1 %), and
 *     thickness in caller units scaled with the part.
 *
 * Thread safety: all functions are reentrant and may run concurrently on different threads;
 * each call works only on its own copy of the mesh. The only shared resource is the process's
 * standard output stream, on which the mesh check and the angle analyses print a few
 * diagnostic lines.
 *
 * Memory exhaustion is not caught: a C++ exception (std::bad_alloc, or an int of value 1000 or
 * 1001 from the edge table) leaves the function and no status is returned.
 */
#ifndef VEXMOR_H
#define VEXMOR_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(VEXMOR_BUILDING)
#define VEXMOR_API __declspec(dllexport)
#else
#define VEXMOR_API __declspec(dllimport)
#endif
#define VEXMOR_CALL __cdecl
#else
#if defined(VEXMOR_BUILDING)
#define VEXMOR_API __attribute__((visibility("default")))
#else
#define VEXMOR_API
#endif
#define VEXMOR_CALL
#endif

#define VX_STATUS_OK 0
#define VX_STATUS_ANALYSIS_FAILED 1
#define VX_STATUS_MESH_REJECTED 2
#define VX_STATUS_INVALID_INPUT 3

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Largest dihedral angle at every node, in degrees.
 *   nodeAngles  out, nbNodes doubles; must not be NULL.
 *   signedMode  1: signed values (a node dominated by concave edges reports a positive angle,
 *               one dominated by convex or flat edges a negative one; ties go negative);
 *               any other value: unsigned values in [0, 180].
 * A node that no edge reaches reports -1.7976931348623157e308 (unsigned) or
 * +1.7976931348623157e308 (signed). Accepts closed triangle meshes only.
 * Status 0, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Diedral_Angle(int32_t nbNodes, int32_t szelem,
                                                const int32_t* connectivity,
                                                const double* coordinates, double* nodeAngles,
                                                uint32_t signedMode);

/*
 * Draft of every face against a pull direction: the cosine between the face's outward unit
 * normal and the unit direction (1 looks along the pull, 0 has no draft, -1 looks against),
 * always within [-1, 1]. Independent of the length unit.
 *   faceValues  out, one double per caller face; must not be NULL when there are faces.
 *   direction   in, 3 doubles, any length; a direction shorter than 1.49e-8 acts as (1, 0, 0).
 *               Must not be NULL.
 * A degenerate triangle (collinear nodes) takes the normal (1, 0, 0). Accepts closed triangle
 * meshes only. Status 0, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Draft_Angle(int32_t nbNodes, int32_t szelem,
                                              const int32_t* connectivity,
                                              const double* coordinates, double* faceValues,
                                              const double* direction);

/*
 * Dihedral angle of every edge, in degrees: 0 where the surface is flat, growing to 180 as it
 * folds.
 *   nbEdges     out, one uint32_t: the number of edges written. Must not be NULL.
 *   edgeNodes   out, 2 int32_t per edge (its two node numbers). For a closed triangle mesh the
 *               number of edges is (total of the face node counts) / 2 = szelem * 3 / 8.
 *               Must not be NULL when szelem > 0.
 *   edgeAngles  out, one double per edge. Must not be NULL when szelem > 0.
 *   signedMode  1: convex edges positive, concave edges negative; any other value: unsigned.
 * Accepts closed triangle meshes only. Status 0, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Edge_Diedral_Angle(int32_t nbNodes, int32_t szelem,
                                                     const int32_t* connectivity,
                                                     const double* coordinates, uint32_t* nbEdges,
                                                     int32_t* edgeNodes, double* edgeAngles,
                                                     uint32_t signedMode);

/*
 * Distance from every node to the surface formed by the faces, in the NORMALISED frame
 * (divide by scale = 10000 / largest extent of the node box for caller units). A node that is
 * a vertex of a face gets 0. Runs no mesh check: faces may be open, non-manifold or polygons
 * (a face of n nodes is measured as its n - 2 strip triangles); faces of fewer than 3 nodes are
 * skipped. Nodes that no face uses are measured too, which is how query points are passed.
 *   nodeThickness  out, nbNodes doubles; must not be NULL.
 *   outside        stored, has no effect on this method.
 * A mesh with no face of 3 or more nodes gives every node +infinity.
 * Status 0 or 3 (never 2).
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_DN2S(int32_t nbNodes, int32_t szelem,
                                                             const int32_t* connectivity,
                                                             const double* coordinates,
                                                             double* nodeThickness,
                                                             uint8_t outside);

/*
 * Rolling-sphere thickness (sphere contact distance) per caller face, in CALLER units: the
 * distance from the face's incircle centre to the point where the largest inscribed sphere
 * tangent there touches the opposite wall. A plate of thickness t reads t.
 *   faceThickness  out, one double per caller face; must not be NULL when there are faces.
 *                  Its incoming contents are never read.
 *   outside        non-zero: measure the space between the part and an enclosing box instead
 *                  of the part (a box twice the size of the part's node box, about the same
 *                  centre); faces whose nearest wall is the box get negative values.
 * Accepts closed meshes of triangles and quadrilaterals (a quadrilateral gets the smaller value
 * of its two triangles). A face whose sphere finds no opposite wall at all (for instance a
 * degenerate face with no normal) gets 0. Status 0, 1, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_LSCP(int32_t nbNodes, int32_t szelem,
                                                             const int32_t* connectivity,
                                                             const double* coordinates,
                                                             double* faceThickness,
                                                             uint8_t outside);

/*
 * Rolling-sphere radius per caller face, in the NORMALISED frame: the radius of the largest
 * sphere tangent at the face's incircle centre that reaches no opposite wall. A plate of
 * thickness t reads t / 2 (times scale).
 *   faceThickness  out, one double per caller face; must not be NULL when there are faces.
 *                  Written directly, so on status 1 it may hold partial values.
 *   outside        the part is neither turned nor boxed for this method, but the flag still
 *                  marks the last 12 faces of the mesh as walls of an enclosing box: a face
 *                  whose nearest wall is one of them gets its radius negated. Pass 0 to get
 *                  plain radii.
 * The sphere is refined until a step improves on its radius by no more than 0.1 %, so radii
 * are exact to about that much. A face whose sphere finds no opposite wall at all gets 0.
 * Accepts closed triangle meshes only. Status 0, 1, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Computation_LSR(int32_t nbNodes, int32_t szelem,
                                                            const int32_t* connectivity,
                                                            const double* coordinates,
                                                            double* faceThickness, uint8_t outside);

/*
 * Thickness gradient per caller face, a pure number: the mean, over the faces sharing at least
 * one node with the face, of |their thickness - its thickness| / its thickness.
 *   faceThickness  in, one double per caller face (any method, any unit); must not be NULL
 *                  when there are faces. Not written.
 *   faceGradient   out, one double per caller face; must not be NULL when there are faces.
 *                  Written directly when the mesh has no quadrilateral, so on status 1 it may
 *                  hold partial values.
 * Each neighbour counts once, however many nodes it shares. A face whose own thickness is
 * below FLT_EPSILON (1.1920928955078125e-7; zero, negative and NaN included, such as the
 * negative values of an outside analysis) is compared with nothing and gets 0.0; its
 * neighbours still compare with it. Around a node with more than 999 faces, a face is compared
 * with the first 999 faces met turning around that node from it.
 * Accepts closed meshes of triangles and quadrilaterals (each quadrilateral is split into two
 * triangles that both take its thickness, and gets the mean of their gradients).
 * Status 0, 1, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_Gradient(int32_t nbNodes, int32_t szelem,
                                                     const int32_t* connectivity,
                                                     const double* coordinates,
                                                     const double* faceThickness,
                                                     double* faceGradient);

/*
 * Ray-tracing thickness per caller face, in CALLER units: the length of the ray cast from the
 * face's incircle centre against its outward normal to the first face it crosses; 0 when the
 * ray leaves the part's surroundings without crossing anything.
 *   faceThickness  out, one double per caller face; must not be NULL when there are faces.
 *                  Its incoming contents are never read.
 *   outside        non-zero: measure the space between the part and an enclosing box instead
 *                  of the part (a box twice the size of the part's node box, about the same
 *                  centre); faces whose ray ends on the box get negative values.
 * Accepts closed meshes of triangles and quadrilaterals (a quadrilateral gets the smaller value
 * of its two triangles). Status 0, 1, 2 or 3.
 */
VEXMOR_API int32_t VEXMOR_CALL VX_Thickness_RayTracing(int32_t nbNodes, int32_t szelem,
                                                       const int32_t* connectivity,
                                                       const double* coordinates,
                                                       double* faceThickness, uint8_t outside);

#ifdef __cplusplus
}
#endif

#endif /* VEXMOR_H */
