"""One function per analysis of the library, numpy arrays in and out.

Every function takes the mesh as ``vertices, faces`` or as one object with ``.vertices`` and
``.faces`` (a ``trimesh.Trimesh``, the result of :func:`vexmor.read`, ...), copies it, and
returns new arrays: lengths in the caller's unit, angles in degrees, one value per caller
face (or edge, or node) in the caller's order.
"""

import ctypes
from dataclasses import dataclass, field
from typing import NamedTuple

import numpy as np

from . import _library
from ._mesh import (Prepared, as_bool, as_direction, as_vertices, check_sized, is_mesh_object,
                    prepare)
from ._split import for_library
from .errors import AnalysisFailed, MeshRejected, VexmorError

_MESH_PARAMETERS = """    vertices : array_like, shape (N, 3), or mesh object
        Node coordinates, in any length unit. Instead of `vertices` and `faces`, one object
        with ``.vertices`` and ``.faces`` attributes may be given (a ``trimesh.Trimesh``,
        the result of :func:`vexmor.read`, ...).
    faces : array_like, shape (M, 3) or (M, 4), or sequence of polygons, optional
        Node numbers (0-based) of each face, in order around it; a sequence of integer
        sequences holds faces of any node count (three or more). The winding does not
        matter: the library turns every closed volume's faces outwards first."""

_SPHERE_RAISES = """    Raises
    ------
    MeshRejected
        The mesh is open or non-manifold.
    AnalysisFailed
        The library's analysis reported failure.
    ValueError
        Bad input (shapes, NaN, node numbers out of range)."""


def _doc(function):
    function.__doc__ = function.__doc__.replace("    {mesh}", _MESH_PARAMETERS).replace(
        "    {sphere_raises}", _SPHERE_RAISES)
    return function


# ---------------------------------------------------------------------------------------------
# Calling the library


def _pointer(array):
    return array.ctypes.data_as(ctypes.c_void_p)


def _call(name, prepared, faces, entry, *outputs):
    """Runs one library function on the nodes of `prepared` and `faces` (the caller's, or
    the split of them that the analysis takes) and raises for a status other than 0."""
    connectivity = faces.connectivity()
    coordinates = prepared.vertices
    function = getattr(_library.core(), entry)
    with _library.diagnostics_to_log:
        status = function(len(coordinates), len(connectivity), _pointer(connectivity),
                          _pointer(coordinates), *outputs)
    _raise_for_status(status, name, prepared, faces)


def _raise_for_status(status, name, prepared, faces):
    if status == 0:
        return
    if status == 2:
        boundary, non_manifold = prepared.defect_counts()
        if boundary or non_manifold:
            reason = (f"it is open or non-manifold: {boundary} open edge(s) (used by one face) "
                      f"and {non_manifold} non-manifold edge(s) (used by three faces or more); "
                      "only distance_to_surface measures such a mesh")
        else:
            reason = _other_rejection_reason(prepared, faces)
        raise MeshRejected(f"{name}: the mesh is rejected: {reason}", name, boundary,
                           non_manifold)
    if status == 1:
        raise AnalysisFailed(f"{name}: the library's analysis failed on this mesh (status 1)")
    raise VexmorError(f"{name}: the library answered status {status} (invalid input), which the "
                      "package should have prevented: please report it with the mesh")


def _other_rejection_reason(prepared, faces):
    if faces is not prepared.faces:
        keys = faces.edge_keys(prepared.node_count)
        _, uses = np.unique(keys, return_counts=True)
        added = int(np.count_nonzero(uses > 2))
        if added:
            return (f"splitting its faces into triangles leaves {added} edge(s) shared by more "
                    "than two faces (a face folds back onto another)")
    repeated = _faces_repeating_a_node(prepared.faces)
    if repeated:
        return f"{repeated} face(s) use one node twice"
    return "the library's mesh check refused it"


def _faces_repeating_a_node(faces):
    count = 0
    for k in np.unique(faces.sizes):
        ids = np.flatnonzero(faces.sizes == k)
        rows = faces.nodes[faces.starts[ids][:, None] + np.arange(k)]
        rows = np.sort(rows, axis=1)
        count += int(np.count_nonzero((rows[:, 1:] == rows[:, :-1]).any(axis=1)))
    return count


def _face_values(name, vertices, faces, entry, takes_quadrilaterals, flag):
    prepared = prepare(vertices, faces, name)
    split = for_library(prepared, takes_quadrilaterals)
    out = np.empty(len(split.faces), dtype=np.float64)
    _call(name, prepared, split.faces, entry, _pointer(out), flag)
    return prepared, split, out


# ---------------------------------------------------------------------------------------------
# Thickness


@_doc
def ray_thickness(vertices, faces=None, *, outside=False):
    """Wall thickness of every face by ray tracing.

    A ray is cast from each face's incircle centre against its outward normal, through the
    material; the thickness is the distance to the first face it crosses. Fast: use it first.

    Parameters
    ----------
    {mesh}
    outside : bool, optional
        Measure the space between the part and an enclosing box (twice the size of the part's
        box) instead of the part: the gap in front of each face. Faces whose ray reaches the
        box get negative values (minus the distance to the box).

    Returns
    -------
    numpy.ndarray of float, shape (M,)
        Thickness per face, in the unit of `vertices`. 0 where the ray crosses nothing. A face
        of four or more nodes gets the smallest value of its triangles.

    Raises
    ------
    MeshRejected
        The mesh is open or non-manifold (the message counts the faulty edges).
    ValueError
        Bad input: shapes, NaN or infinite coordinates, node numbers out of range, a mesh
        without size or without faces.

    See Also
    --------
    contact_thickness, sphere_thickness : careful, slower measures along the sphere rolled
        inside the wall.
    distance_to_surface : for open meshes and query points.

    Examples
    --------
    >>> import vexmor
    >>> mesh = vexmor.read("part.stl")                      # doctest: +SKIP
    >>> t = vexmor.ray_thickness(mesh)                      # doctest: +SKIP
    >>> thin = t < 1.5                      # faces thinner than 1.5  # doctest: +SKIP
    """
    flag = 1 if as_bool(outside, "outside") else 0
    _, split, out = _face_values("ray_thickness", vertices, faces, "VX_Thickness_RayTracing",
                                 True, flag)
    return split.minimum(out)


@_doc
def contact_thickness(vertices, faces=None, *, outside=False):
    """Wall thickness of every face by the sphere contact distance.

    The largest sphere inside the material tangent to a face at its incircle centre is
    found; the thickness is the distance from that centre to the point where the sphere
    touches the opposite wall. A plate of thickness t reads t. Slower than
    :func:`ray_thickness` on large thick parts, but it follows the wall where rays glance.

    Parameters
    ----------
    {mesh}
    outside : bool, optional
        Measure the space between the part and an enclosing box (twice the size of the part's
        box) instead of the part. Faces whose nearest wall is the box get negative values.

    Returns
    -------
    numpy.ndarray of float, shape (M,)
        Thickness per face, in the unit of `vertices`. 0 where the sphere finds no opposite
        wall. A face of four or more nodes gets the smallest value of its triangles.

    {sphere_raises}
    """
    flag = 1 if as_bool(outside, "outside") else 0
    _, split, out = _face_values("contact_thickness", vertices, faces,
                                 "VX_Thickness_Computation_LSCP", True, flag)
    return split.minimum(out)


@_doc
def sphere_thickness(vertices, faces=None):
    """Wall thickness of every face as the DIAMETER of the sphere rolled inside the wall.

    The largest sphere tangent to a face at its incircle centre that reaches no opposite
    wall is found; its diameter is returned, so that a plate of thickness t reads t, like
    the other thickness measures (halve it for the radius). Sphere sizes are refined until a
    step improves them by no more than 0.1 %, so values are exact to about that much.

    Parameters
    ----------
    {mesh}

    Returns
    -------
    numpy.ndarray of float, shape (M,)
        Sphere diameter per face, in the unit of `vertices` (the library gives the radius in
        its normalised frame; it is converted here). 0 where the sphere finds no opposite
        wall. A face of four or more nodes gets the smallest value of its triangles.

    {sphere_raises}
    """
    prepared, split, out = _face_values("sphere_thickness", vertices, faces,
                                        "VX_Thickness_Computation_LSR", False, 0)
    return split.minimum(out / prepared.frame_scale() * 2.0)


def distance_to_surface(vertices, faces=None, points=None):
    """Distance from each query point to the surface formed by the faces.

    Runs on any surface: open, non-manifold, with faces of any node count (each measured as
    the triangles that cover it in its own plane). Call it as
    ``distance_to_surface(vertices, faces, points)`` or ``distance_to_surface(mesh, points)``.

    Parameters
    ----------
    vertices : array_like, shape (N, 3), or mesh object
        Node coordinates, or one object with ``.vertices`` and ``.faces``.
    faces : array_like, shape (M, 3) or (M, 4), or sequence of polygons
        Node numbers of each face (0-based). With a mesh object, this place takes `points`.
    points : array_like, shape (P, 3)
        Query points, in the unit of `vertices`.

    Returns
    -------
    numpy.ndarray of float, shape (P,)
        Unsigned distance from each point to the nearest face, in the unit of `vertices`
        (the library measures in its normalised frame over the box of the nodes and points;
        values are converted here). A point on a face reads 0; with no faces every
        distance is infinite.

    Raises
    ------
    ValueError
        Bad input: shapes, NaN or infinite coordinates, node numbers out of range.
    """
    if is_mesh_object(vertices) and points is None:
        faces, points = None, faces
    if points is None:
        raise TypeError("distance_to_surface() needs the query points")
    prepared = prepare(vertices, faces, "distance_to_surface", need_faces=False)
    queries = as_vertices(points, "points")
    if len(queries) == 0:
        return np.zeros(0)
    n = prepared.node_count
    if n + len(queries) > 2**31 - 1:
        raise ValueError("distance_to_surface(): nodes and points together are more than the "
                         "library takes (2**31 - 1)")
    both = check_sized(Prepared(np.concatenate([prepared.vertices, queries]), prepared.faces),
                       "distance_to_surface", need_faces=False)
    if len(prepared.faces):
        # Faces of four or more nodes go in as the triangles that cover them: the library
        # would otherwise measure a strip of overlapping triangles over their nodes.
        both.faces = for_library(prepared, False).faces
    out = np.empty(len(both.vertices), dtype=np.float64)
    _call("distance_to_surface", both, both.faces, "VX_Thickness_Computation_DN2S",
          _pointer(out), 0)
    return out[n:] / both.frame_scale()


@_doc
def thickness_gradient(vertices, faces=None, thickness=None):
    """Relative change of wall thickness around every face.

    For each face, the mean over the faces that share a node with it of
    ``|their thickness - its thickness| / its thickness``: 0 where the wall is even, 0.5
    where the neighbours differ by half on average.

    Parameters
    ----------
    {mesh}
    thickness : array_like, shape (M,), optional
        Thickness per face, from any method, in any unit. By default
        :func:`ray_thickness` of the mesh.

    Returns
    -------
    numpy.ndarray of float, shape (M,)
        The gradient per face, a pure number. A face whose own thickness is below about
        1.2e-7 (zero or negative, as faces of an outside measure) is compared with nothing
        and reads 0. A face of four or more nodes gets the mean of its triangles' values.

    Raises
    ------
    MeshRejected
        The mesh is open or non-manifold.
    ValueError
        Bad input, or `thickness` not one finite number per face.
    """
    prepared = prepare(vertices, faces, "thickness_gradient")
    if thickness is None:
        try:
            thickness = ray_thickness(prepared)
        except MeshRejected as e:
            raise MeshRejected(str(e).replace("ray_thickness", "thickness_gradient", 1),
                               "thickness_gradient", e.boundary_edges,
                               e.non_manifold_edges) from None
    try:
        values = np.array(thickness, dtype=np.float64).reshape(-1)
    except (TypeError, ValueError):
        raise ValueError("thickness must be one number per face") from None
    if np.ndim(thickness) != 1 or len(values) != len(prepared.faces):
        raise ValueError(f"thickness must be one number per face ({len(prepared.faces)}), got "
                         f"shape {np.shape(thickness)}")
    if not np.isfinite(values).all():
        raise ValueError(f"thickness of face {int(np.argmin(np.isfinite(values)))} is NaN or "
                         "infinite")
    split = for_library(prepared, True)
    per_library_face = np.ascontiguousarray(split.expand(values))
    out = np.empty(len(split.faces), dtype=np.float64)
    _call("thickness_gradient", prepared, split.faces, "VX_Thickness_Gradient",
          _pointer(per_library_face), _pointer(out))
    return split.mean(out)


# ---------------------------------------------------------------------------------------------
# Angles


@_doc
def draft(vertices, faces=None, pull=(0.0, 0.0, 1.0)):
    """Draft angle of every face against the direction in which the part leaves the mould.

    Parameters
    ----------
    {mesh}
    pull : array_like of 3 floats, or str, optional
        Pull direction, any length (default +z); ``"x"``, ``"-y"``, ... name an axis.

    Returns
    -------
    numpy.ndarray of float, shape (M,)
        Degrees in [-90, 90]: 90 for a face looking along the pull, 0 for a face parallel to
        it (no draft), negative for faces looking against it (undercuts, or the other mould
        half). The sine of the value is the cosine between the outward normal and the pull.
        A face of four or more nodes gets its triangles' area-weighted mean.

    Raises
    ------
    MeshRejected
        The mesh is open or non-manifold.
    ValueError
        Bad input, or a pull direction without length.
    """
    direction = np.ascontiguousarray(as_direction(pull))
    prepared = prepare(vertices, faces, "draft")
    split = for_library(prepared, False)
    out = np.empty(len(split.faces), dtype=np.float64)
    _call("draft", prepared, split.faces, "VX_Draft_Angle", _pointer(out), _pointer(direction))
    cosines = split.area_weighted_mean(out, prepared.vertices)
    return np.degrees(np.arcsin(np.clip(cosines, -1.0, 1.0)))


class EdgeAngles(NamedTuple):
    """Dihedral angle per edge: ``edges`` (E, 2) node numbers and ``angles`` (E,) degrees."""

    edges: np.ndarray
    angles: np.ndarray


@_doc
def edge_dihedral_angles(vertices, faces=None, *, signed=False):
    """Dihedral angle of every edge: how sharply the surface folds there.

    Parameters
    ----------
    {mesh}
    signed : bool, optional
        Give convex (salient) edges positive and concave (re-entrant) edges negative
        angles; by default all angles are positive.

    Returns
    -------
    EdgeAngles
        A named tuple ``(edges, angles)``: ``edges`` an int64 array (E, 2) of the two nodes of
        every edge of the faces (each edge once), ``angles`` a float array (E,) in degrees, 0
        where the surface is flat, growing to 180 as it folds. Diagonals drawn to split faces
        of four or more nodes are not listed.

    Raises
    ------
    MeshRejected
        The mesh is open or non-manifold.
    ValueError
        Bad input (shapes, NaN, node numbers out of range).
    """
    prepared = prepare(vertices, faces, "edge_dihedral_angles")
    split = for_library(prepared, False)
    capacity = len(split.faces.nodes) + 1  # every edge is a side of some face
    count = ctypes.c_uint32(0)
    nodes = np.zeros((capacity, 2), dtype=np.int32)
    angles = np.zeros(capacity, dtype=np.float64)
    _call("edge_dihedral_angles", prepared, split.faces, "VX_Edge_Diedral_Angle",
          ctypes.byref(count), _pointer(nodes), _pointer(angles),
          1 if as_bool(signed, "signed") else 0)
    used = min(count.value, capacity)
    nodes, angles = nodes[:used].astype(np.int64), angles[:used]
    if split.face_of is not None:
        known = prepared.edge_use()[0]
        keys = np.minimum(nodes[:, 0], nodes[:, 1]) * prepared.node_count + \
            np.maximum(nodes[:, 0], nodes[:, 1])
        at = np.minimum(np.searchsorted(known, keys), len(known) - 1)
        keep = known[at] == keys
        nodes, angles = nodes[keep], angles[keep]
    return EdgeAngles(nodes, angles)


@_doc
def node_dihedral_angles(vertices, faces=None, *, signed=False):
    """Largest dihedral angle at every node, to find sharp corners and creases.

    Parameters
    ----------
    {mesh}
    signed : bool, optional
        Tell which kind of edge dominates at each node: positive where the largest convex
        angle wins, negative where concave edges dominate (as the signs of
        :func:`edge_dihedral_angles`). A node where they tie reads positive.

    Returns
    -------
    numpy.ndarray of float, shape (N,)
        Degrees per node; NaN for a node that no face uses. Faces of four or more nodes are
        measured over the triangles that split them, diagonals included.

    Raises
    ------
    MeshRejected
        The mesh is open or non-manifold.
    ValueError
        Bad input (shapes, NaN, node numbers out of range).
    """
    prepared = prepare(vertices, faces, "node_dihedral_angles")
    split = for_library(prepared, False)
    out = np.empty(prepared.node_count, dtype=np.float64)
    is_signed = as_bool(signed, "signed")
    _call("node_dihedral_angles", prepared, split.faces, "VX_Diedral_Angle", _pointer(out),
          1 if is_signed else 0)
    if is_signed:
        # The library signs nodes the other way round from edges (positive where concave
        # edges dominate); one convention serves both here: convex positive.
        out = -out
    used = np.zeros(prepared.node_count, dtype=bool)
    used[prepared.faces.nodes] = True
    out[~used | (np.abs(out) > 1e300)] = np.nan
    return out


# ---------------------------------------------------------------------------------------------
# Check


@dataclass(frozen=True)
class CheckResult:
    """What :func:`check` finds.

    Attributes
    ----------
    nodes, faces : int
        Sizes of the mesh.
    triangles, quadrilaterals, polygons : int
        Faces of three, four, and five or more nodes.
    unused_nodes : int
        Nodes that no face uses.
    edges : int
        Distinct edges of the faces.
    boundary_edges : int
        Edges used by one face only: the surface is open there.
    non_manifold_edges : int
        Edges used by three faces or more.
    misoriented_edges : int
        Edges along which two faces run the same way (the library turns such faces, so
        they do not stop an analysis).
    faces_repeating_a_node : int
        Faces that list one node twice.
    accepted : bool
        The library's own verdict: every analysis runs on the mesh.
    reasons : list of str
        Why not, one sentence per defect; empty when accepted.
    closed : bool
        Every edge is shared by exactly two faces.
    """

    nodes: int
    faces: int
    triangles: int
    quadrilaterals: int
    polygons: int
    unused_nodes: int
    edges: int
    boundary_edges: int
    non_manifold_edges: int
    misoriented_edges: int
    faces_repeating_a_node: int
    accepted: bool
    reasons: list = field(default_factory=list)

    @property
    def closed(self):
        """Closed and manifold: every edge is shared by exactly two faces."""
        return self.boundary_edges == 0 and self.non_manifold_edges == 0


@_doc
def check(vertices, faces=None):
    """Check a mesh as the analyses will see it, without raising for its defects.

    Parameters
    ----------
    {mesh}

    Returns
    -------
    CheckResult
        Counts of nodes, faces by node count, edges, open, non-manifold and misoriented
        edges; ``accepted``, the library's verdict (its mesh check, run on the mesh as the
        triangle-only analyses get it), and ``reasons``, one sentence per defect.

    Raises
    ------
    ValueError
        Input that cannot describe a mesh (shapes, NaN, node numbers out of range).
    """
    prepared = prepare(vertices, faces, "check")
    f = prepared.faces
    keys, uses = prepared.edge_use()
    boundary, non_manifold = prepared.defect_counts()
    n = prepared.node_count
    # A directed side met twice: two faces run the same way along that edge.
    nxt = np.arange(1, len(f.nodes) + 1)
    nxt[f.starts + f.sizes - 1] = f.starts
    directed = f.nodes.astype(np.int64) * n + f.nodes[nxt]
    _, directed_uses = np.unique(directed, return_counts=True)
    used = np.zeros(n, dtype=bool)
    used[f.nodes] = True
    repeated = _faces_repeating_a_node(f)
    reasons = []
    if boundary:
        reasons.append(f"{boundary} edge(s) are used by one face only: the surface is open")
    if non_manifold:
        reasons.append(f"{non_manifold} edge(s) are used by three faces or more")
    status = 0
    split = for_library(prepared, False)
    # A draft call costs little more than the library's mesh check, whose verdict it gives.
    probe = np.empty(len(split.faces), dtype=np.float64)
    up = np.array([0.0, 0.0, 1.0])
    try:
        _call("check", prepared, split.faces, "VX_Draft_Angle", _pointer(probe), _pointer(up))
    except MeshRejected as e:
        status = 2
        if not reasons:
            reasons.append(str(e).split("the mesh is rejected: ", 1)[-1])
    except AnalysisFailed:
        status = 1
        reasons.append("the library's check failed on it")
    return CheckResult(
        nodes=n, faces=len(f), triangles=int(np.count_nonzero(f.sizes == 3)),
        quadrilaterals=int(np.count_nonzero(f.sizes == 4)),
        polygons=int(np.count_nonzero(f.sizes > 4)), unused_nodes=int(n - used.sum()),
        edges=len(keys), boundary_edges=boundary, non_manifold_edges=non_manifold,
        misoriented_edges=int(np.count_nonzero(directed_uses > 1)),
        faces_repeating_a_node=repeated, accepted=status == 0, reasons=reasons)


__all__ = ["ray_thickness", "contact_thickness", "sphere_thickness", "distance_to_surface",
           "thickness_gradient", "draft", "edge_dihedral_angles", "node_dihedral_angles",
           "check", "CheckResult", "EdgeAngles"]
