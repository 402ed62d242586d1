"""The caller's mesh, checked and packed the way the library takes it.

Everything Python can tell about bad input is found here, before the library is called, and
raised as ValueError naming what is wrong: the library's "invalid input" status is then
never reached.
"""

import numbers

import numpy as np

_INT32_MAX = 2**31 - 1


class Faces:
    """Faces packed back to back: `sizes[f]` node numbers of face f start at `starts[f]`."""

    __slots__ = ("sizes", "nodes", "starts", "_connectivity")

    def __init__(self, sizes, nodes):
        self.sizes = np.ascontiguousarray(sizes, dtype=np.int32)
        self.nodes = np.ascontiguousarray(nodes, dtype=np.int32)
        self.starts = np.zeros(len(self.sizes), dtype=np.int64)
        np.cumsum(self.sizes[:-1], out=self.starts[1:])
        self._connectivity = None

    def __len__(self):
        return len(self.sizes)

    def all_of_size(self, k):
        return bool(np.all(self.sizes == k))

    def table(self, k):
        """The (M, k) table of faces that all have k nodes."""
        return self.nodes.reshape(-1, k)

    def connectivity(self):
        """The count-prefixed array that the library takes: each face's node count, then its
        node numbers."""
        if self._connectivity is not None:
            return self._connectivity
        out = np.empty(len(self.sizes) + len(self.nodes), dtype=np.int32)
        heads = self.starts + np.arange(len(self.sizes))
        out[heads] = self.sizes
        is_node = np.ones(len(out), dtype=bool)
        is_node[heads] = False
        out[is_node] = self.nodes
        self._connectivity = out
        return out

    def edge_keys(self, node_count):
        """One int64 key per face side, the same for both directions of an edge."""
        nxt = np.arange(1, len(self.nodes) + 1, dtype=np.int64)
        last = self.starts + self.sizes - 1
        nxt[last] = self.starts  # each face's last node closes on its first
        a = self.nodes.astype(np.int64)
        b = a[nxt]
        lo, hi = np.minimum(a, b), np.maximum(a, b)
        return lo * node_count + hi

    def as_public(self):
        """The faces as a caller holds them: an (M, k) array when every face has k nodes,
        otherwise a list of 1-D arrays."""
        if len(self.sizes) and self.all_of_size(int(self.sizes[0])):
            return self.nodes.astype(np.int64).reshape(len(self.sizes), int(self.sizes[0]))
        return np.split(self.nodes.astype(np.int64), self.starts[1:])


class Prepared:
    """A validated mesh: float64 vertices (N, 3) and packed faces."""

    __slots__ = ("vertices", "faces", "splits", "_edges")

    def __init__(self, vertices, faces):
        self.vertices = vertices
        self.faces = faces
        self.splits = {}  # the faces as each kind of analysis gets them (see _split)
        self._edges = None

    @property
    def node_count(self):
        return len(self.vertices)

    def edge_use(self):
        """(sorted unique undirected edge keys, number of face sides on each)."""
        if self._edges is None:
            self._edges = np.unique(self.faces.edge_keys(self.node_count), return_counts=True)
        return self._edges

    def defect_counts(self):
        """(open edges: one face, non-manifold edges: three faces or more)."""
        _, uses = self.edge_use()
        return int(np.count_nonzero(uses == 1)), int(np.count_nonzero(uses > 2))

    def frame_scale(self):
        """The library's normalised-frame factor for these nodes: 10000 / largest extent of
        their box. Frame values divided by it are in the caller's unit."""
        extent = float(np.max(self.vertices.max(axis=0) - self.vertices.min(axis=0)))
        return 10000.0 / extent


def is_mesh_object(obj):
    return hasattr(obj, "vertices") and hasattr(obj, "faces")


def split_mesh_arguments(vertices, faces, function):
    """(vertices, faces) from either the pair or an object with .vertices and .faces."""
    if faces is None:
        if not is_mesh_object(vertices):
            raise TypeError(f"{function}() takes vertices and faces, or one object with "
                            ".vertices and .faces (such as a trimesh.Trimesh or vexmor.read's "
                            f"result); got {type(vertices).__name__} and no faces")
        return vertices.vertices, vertices.faces
    if is_mesh_object(vertices):
        raise TypeError(f"{function}() got a mesh object and faces: pass one or the other")
    return vertices, faces


def as_vertices(vertices, what="vertices"):
    """A float64 (N, 3) copy, checked to be finite."""
    try:
        v = np.array(vertices, dtype=np.float64, copy=True, order="C")
    except (TypeError, ValueError) as e:
        raise ValueError(f"{what} must be an (N, 3) array of numbers: {e}") from None
    if v.ndim != 2 or v.shape[1] != 3:
        raise ValueError(f"{what} must be an (N, 3) array of numbers, got shape {v.shape}")
    bad = ~np.isfinite(v).all(axis=1)
    if bad.any():
        i = int(np.argmax(bad))
        raise ValueError(f"{what}: row {i} holds a NaN or infinite coordinate {v[i].tolist()}"
                         f" ({int(bad.sum())} such rows)")
    if len(v) > _INT32_MAX:
        raise ValueError(f"{what}: {len(v)} rows are more than the library takes (2**31 - 1)")
    return v


def _integer_array(values, what):
    a = np.asarray(values)
    if a.size == 0:
        return a.astype(np.int64)
    if a.dtype.kind not in "iu":
        raise ValueError(f"{what} must hold integer node numbers, got {a.dtype} values")
    return a


def as_faces(faces, node_count):
    """Faces packed from an (M, k) integer array (k >= 3) or a sequence of polygons, every
    node number checked to lie in [0, node_count)."""
    if isinstance(faces, Faces):
        sizes, nodes = faces.sizes, faces.nodes
    else:
        sizes, nodes = _sizes_and_nodes(faces)
    small = np.flatnonzero(sizes < 3)
    if len(small):
        face = int(small[0])
        raise ValueError(f"face {face} has {sizes[face]} node(s); a face needs at least 3")
    if len(sizes) + len(nodes) > _INT32_MAX:
        raise ValueError(f"the faces need {len(sizes) + len(nodes)} connectivity entries, more "
                         "than the library takes (2**31 - 1)")
    if len(nodes):
        bad = (nodes < 0) | (nodes >= node_count)
        if bad.any():
            at = int(np.argmax(bad))
            starts = np.cumsum(sizes) - sizes
            face = int(np.searchsorted(starts, at, side="right") - 1)
            raise ValueError(f"face {face} refers to node {int(nodes[at])}, but the mesh has "
                             f"{node_count} nodes (0 .. {node_count - 1})")
    return faces if isinstance(faces, Faces) else Faces(sizes, nodes)


def _sizes_and_nodes(faces):
    table = None
    if isinstance(faces, np.ndarray) and faces.dtype != object:
        table = faces
    else:
        try:
            table = np.asarray(faces)
            if table.dtype == object or table.ndim != 2:
                table = None
        except ValueError:  # polygons of different lengths
            table = None
    if table is not None:
        if table.ndim != 2 or (table.shape[0] > 0 and table.shape[1] < 3):
            raise ValueError("faces must be an (M, 3) or (M, 4) array of node numbers, or a "
                             f"list of polygons; got shape {table.shape}")
        table = _integer_array(table, "faces")
        return np.full(table.shape[0], table.shape[1], dtype=np.int64), table.reshape(-1)
    try:
        polygons = [_integer_array(p, f"face {i}").reshape(-1) for i, p in enumerate(faces)]
    except TypeError:
        raise ValueError("faces must be an (M, 3) or (M, 4) array of node numbers, or a list "
                         f"of polygons; got {type(faces).__name__}") from None
    sizes = np.array([len(p) for p in polygons], dtype=np.int64)
    nodes = np.concatenate(polygons) if polygons else np.zeros(0, np.int64)
    return sizes, nodes


def prepare(vertices, faces, function, need_faces=True):
    """The validated, packed mesh of an analysis call."""
    if faces is None and isinstance(vertices, Prepared):
        return check_sized(vertices, function, need_faces)
    if faces is None and hasattr(vertices, "_prepared"):
        prepared = vertices._prepared()  # vexmor.read's result, checked when it was read
        if prepared is not None:
            return check_sized(prepared, function, need_faces)
    vertices, faces = split_mesh_arguments(vertices, faces, function)
    return check_sized(validated(vertices, faces), function, need_faces)


def validated(vertices, faces):
    """The mesh checked for what any use of it needs: finite coordinates, faces of three nodes
    or more, node numbers in range."""
    v = as_vertices(vertices)
    return Prepared(v, as_faces(faces, len(v)))


def check_sized(prepared, function, need_faces):
    """`prepared`, once it is known to have a size (and faces when `need_faces`)."""
    v = prepared.vertices
    who = f"{function}(): " if function else ""
    if len(v) < 2 or not np.any(v.max(axis=0) > v.min(axis=0)):
        raise ValueError(f"{who}the mesh has {len(v)} node(s), all at one point: it has no size "
                         "to measure")
    with np.errstate(over="ignore"):
        if not np.isfinite(np.ptp(v, axis=0)).all():
            raise ValueError(f"{who}the nodes span more than the largest float")
    if need_faces and len(prepared.faces) == 0:
        raise ValueError(f"{who}the mesh has no faces")
    return prepared


def as_direction(direction, what="pull"):
    """A float64 3-vector from 'x', '-z', ... or three finite numbers of any length > 0."""
    axes = {"x": (1.0, 0.0, 0.0), "y": (0.0, 1.0, 0.0), "z": (0.0, 0.0, 1.0)}
    if isinstance(direction, str):
        name = direction.strip().lower()
        axis = name.lstrip("+-")
        if axis not in axes or len(name) - len(axis) > 1:
            raise ValueError(f"{what} must be 'x', 'y', 'z' (optionally with a sign) or three "
                             f"numbers, got {direction!r}")
        return np.array(axes[axis]) * (-1.0 if name.startswith("-") else 1.0)
    try:
        d = np.array(direction, dtype=np.float64).reshape(-1)
    except (TypeError, ValueError):
        d = None
    if d is None or d.shape != (3,) or not np.isfinite(d).all():
        raise ValueError(f"{what} must be three finite numbers or an axis name, got {direction!r}")
    # The library would take a direction shorter than this as the x axis.
    if not float(np.linalg.norm(d)) > 1.4901161193847656e-08:
        raise ValueError(f"{what} {d.tolist()} has no length: give the direction to pull along")
    return d


def as_bool(value, what):
    if isinstance(value, (bool, np.bool_)) or isinstance(value, numbers.Integral):
        return bool(value)
    raise TypeError(f"{what} must be True or False, got {value!r}")
