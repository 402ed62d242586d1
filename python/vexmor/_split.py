"""Splitting faces that an analysis does not take as they are into triangles, and folding the
triangles' results back onto the caller's faces.

- A quadrilateral is split along the diagonal from its first to its third node, as the library
  splits the ones it takes, unless that diagonal lies outside a non-convex quadrilateral, gives
  a triangle without area, or runs along an edge already in the mesh (which would leave an
  edge with four faces); the other diagonal is then used. For the analyses that take
  quadrilaterals, such a quadrilateral is handed over with its nodes turned by one place, so
  that the library's own split follows the chosen diagonal.
- A face of five or more nodes is triangulated by ear clipping in its own plane (the plane of
  its vector area), so non-convex polygons are covered exactly; ears whose diagonal would
  repeat an edge of the mesh are avoided when another ear exists.
"""

import numpy as np

from ._mesh import Faces


class Split:
    """The faces handed to the library for an analysis.

    `face_of[i]` is the caller face of library face i, in ascending order, or None when the
    library gets one face per caller face in the same order.
    """

    __slots__ = ("faces", "face_of", "_starts")

    def __init__(self, faces, face_of):
        self.faces = faces
        self.face_of = face_of
        self._starts = None

    def starts(self):
        """Index of each caller face's first library face (each caller face has at least one)."""
        if self._starts is None:
            change = np.ones(len(self.face_of), dtype=bool)
            change[1:] = self.face_of[1:] != self.face_of[:-1]
            self._starts = np.flatnonzero(change)
        return self._starts

    def minimum(self, values):
        return values if self.face_of is None else np.minimum.reduceat(values, self.starts())

    def mean(self, values):
        if self.face_of is None:
            return values
        return np.add.reduceat(values, self.starts()) / np.diff(
            np.append(self.starts(), len(values)))

    def area_weighted_mean(self, values, vertices):
        """The mean weighted by triangle area; a face without area takes its first triangle's
        value."""
        if self.face_of is None:
            return values
        t = self.faces.table(3)
        area = 0.5 * np.linalg.norm(np.cross(vertices[t[:, 1]] - vertices[t[:, 0]],
                                             vertices[t[:, 2]] - vertices[t[:, 0]]), axis=1)
        s = self.starts()
        total = np.add.reduceat(area, s)
        weighted = np.add.reduceat(area * values, s)
        with np.errstate(invalid="ignore", divide="ignore"):
            return np.where(total > 0, weighted / total, values[s])

    def expand(self, face_values):
        """Each library face takes the value of its caller face."""
        return face_values if self.face_of is None else face_values[self.face_of]


def for_library(prepared, takes_quadrilaterals):
    """The Split of `prepared` for an analysis that takes triangles, and quadrilaterals too
    when `takes_quadrilaterals`. Kept on `prepared`, so analyses of one mesh split it once."""
    cache = prepared.splits
    key = bool(takes_quadrilaterals)
    if key not in cache:
        cache[key] = _split(prepared, key)
    return cache[key]


def _split(prepared, takes_quadrilaterals):
    faces, vertices = prepared.faces, prepared.vertices
    sizes = faces.sizes
    if faces.all_of_size(3):
        return Split(faces, None)
    known = prepared.edge_use()[0]
    n = prepared.node_count
    quad_ids = np.flatnonzero(sizes == 4)
    poly_ids = np.flatnonzero(sizes > 4)
    quads = _turned_quadrilaterals(vertices, _rows(faces, quad_ids, 4), known, n)
    if takes_quadrilaterals and len(poly_ids) == 0:
        nodes = faces.nodes.copy()
        rows = faces.starts[quad_ids][:, None] + np.arange(4)
        nodes[rows.reshape(-1)] = quads.reshape(-1)
        return Split(Faces(sizes, nodes), None)

    # Pieces: (caller face, node numbers padded to 4 with -1).
    piece_face, piece_nodes = [], []
    tri_ids = np.flatnonzero(sizes == 3)
    piece_face.append(tri_ids)
    piece_nodes.append(np.pad(_rows(faces, tri_ids, 3), ((0, 0), (0, 1)), constant_values=-1))
    if takes_quadrilaterals:
        piece_face.append(quad_ids)
        piece_nodes.append(quads)
    else:
        first = quads[:, [0, 1, 2]]
        second = quads[:, [0, 2, 3]]
        piece_face.append(np.repeat(quad_ids, 2))
        both = np.stack([first, second], axis=1).reshape(-1, 3)
        piece_nodes.append(np.pad(both, ((0, 0), (0, 1)), constant_values=-1))
    drawn = set()
    poly_faces, poly_triangles = [], []
    for f in poly_ids:
        s = int(faces.starts[f])
        ids = faces.nodes[s:s + int(sizes[f])].astype(np.int64)
        triangles = ear_clip(vertices[ids], ids, known, n, drawn)
        poly_triangles.append(ids[triangles])
        poly_faces.append(np.full(len(triangles), f))
    if poly_ids.size:
        piece_face.append(np.concatenate(poly_faces))
        piece_nodes.append(np.pad(np.concatenate(poly_triangles), ((0, 0), (0, 1)),
                                  constant_values=-1))
    face_of = np.concatenate(piece_face)
    order = np.argsort(face_of, kind="stable")
    face_of = face_of[order]
    padded = np.concatenate(piece_nodes)[order]
    keep = padded >= 0
    return Split(Faces(keep.sum(axis=1), padded[keep]), face_of)


def _rows(faces, ids, k):
    rows = faces.starts[ids][:, None] + np.arange(k)
    return faces.nodes[rows].astype(np.int64).reshape(-1, k)


def _turned_quadrilaterals(vertices, quads, known, node_count):
    """Each quadrilateral's nodes, turned by one place where its 1-3 diagonal should split
    it rather than its 0-2 one."""
    if len(quads) == 0:
        return quads
    a, b, c, d = (vertices[quads[:, i]] for i in range(4))
    normal = np.cross(c - a, d - b)  # twice the vector area

    def positive(p, q, r):
        return np.einsum("ij,ij->i", np.cross(q - p, r - p), normal) > 0

    first_ok = positive(a, b, c) & positive(a, c, d)
    second_ok = positive(b, c, d) & positive(b, d, a)
    first_key = _keys(quads[:, 0], quads[:, 2], node_count)
    second_key = _keys(quads[:, 1], quads[:, 3], node_count)
    first_new = ~_contains(known, first_key)
    second_new = ~_contains(known, second_key)
    turn = second_ok & (~first_ok | (~first_new & second_new))
    # Two quadrilaterals folded around a node that only they share would draw one diagonal
    # twice: the second one takes its other diagonal where it can.
    chosen = np.where(turn, second_key, first_key)
    _, first_seen, counts = np.unique(chosen, return_index=True, return_counts=True)
    repeated = np.ones(len(chosen), dtype=bool)
    repeated[first_seen] = False
    repeated &= np.isin(chosen, chosen[first_seen][counts > 1])
    turn ^= repeated & np.where(turn, first_ok & first_new, second_ok & second_new)
    return np.where(turn[:, None], quads[:, [1, 2, 3, 0]], quads)


def _keys(a, b, node_count):
    a, b = np.asarray(a, np.int64), np.asarray(b, np.int64)
    return np.minimum(a, b) * node_count + np.maximum(a, b)


def _contains(sorted_keys, keys):
    at = np.searchsorted(sorted_keys, keys)
    at = np.minimum(at, len(sorted_keys) - 1)
    return sorted_keys[at] == keys


def ear_clip(points, ids, known, node_count, drawn):
    """Triangles (rows of 3 indices into `points`) covering the polygon `points` (n, 3), wound
    as the polygon is. `ids` are the node numbers, `known` the sorted edge keys of the mesh and
    `drawn` the diagonals drawn so far (a set of keys, extended here)."""
    n = len(points)
    normal = np.zeros(3)
    for i in range(n):  # vector area (Newell), robust for non-planar and non-convex polygons
        normal += np.cross(points[i], points[(i + 1) % n])
    length = np.linalg.norm(normal)
    if not length > 0:  # no plane: the fan from the first node
        return np.array([[0, k, k + 1] for k in range(1, n - 1)], dtype=np.int64)
    normal /= length
    helper = np.eye(3)[int(np.argmin(np.abs(normal)))]
    u = np.cross(normal, helper)
    u /= np.linalg.norm(u)
    v = np.cross(normal, u)
    flat = np.stack([(points - points[0]) @ u, (points - points[0]) @ v], axis=1)
    size = float(np.max(np.ptp(flat, axis=0)))
    eps = 1e-12 * size * size

    def cross(o, p, q):
        return (p[..., 0] - o[..., 0]) * (q[..., 1] - o[..., 1]) - \
               (p[..., 1] - o[..., 1]) * (q[..., 0] - o[..., 0])

    remaining = list(range(n))
    triangles = []
    cursor = 0
    while len(remaining) > 3:
        m = len(remaining)
        chosen = None
        for strictness in (0, 1, 2):
            for step in range(m):
                j = (cursor + step) % m
                i0, i1, i2 = remaining[j - 1], remaining[j], remaining[(j + 1) % m]
                if not cross(flat[i0], flat[i1], flat[i2]) > eps:
                    continue  # a reflex or flat corner is no ear
                if strictness < 2:
                    others = [r for r in remaining if r not in (i0, i1, i2)]
                    p = flat[others]
                    inside = (cross(flat[i0], flat[i1], p) >= -eps) & \
                             (cross(flat[i1], flat[i2], p) >= -eps) & \
                             (cross(flat[i2], flat[i0], p) >= -eps)
                    if inside.any():
                        continue
                if strictness == 0:
                    key = int(_keys(ids[i0], ids[i2], node_count))
                    if key in drawn or _contains(known, np.array([key]))[0]:
                        continue
                chosen = j
                break
            if chosen is not None:
                break
        if chosen is None:  # nothing but flat or reflex corners: the most convex one
            corners = [cross(flat[remaining[j - 1]], flat[remaining[j]],
                             flat[remaining[(j + 1) % m]]) for j in range(m)]
            chosen = int(np.argmax(corners))
        j = chosen
        i0, i1, i2 = remaining[j - 1], remaining[j], remaining[(j + 1) % m]
        triangles.append((i0, i1, i2))
        drawn.add(int(_keys(ids[i0], ids[i2], node_count)))
        del remaining[j]
        cursor = (j - 1) % len(remaining)
    triangles.append(tuple(remaining))
    return np.array(triangles, dtype=np.int64)
