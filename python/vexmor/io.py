"""Reading mesh files with the vexmor program's own readers (through libvexmor_read)."""

import os

import numpy as np

from . import _library
from ._mesh import Faces, validated
from .errors import ReadError


class Mesh:
    """A mesh read from a file by :func:`vexmor.read`.

    It can be passed to every analysis function as it is, and unpacked as
    ``vertices, faces = mesh``. Its arrays are read-only (copy them to change them); a
    mesh whose attributes are given new arrays is checked anew when it is analysed.

    Attributes
    ----------
    vertices : numpy.ndarray of float64, shape (N, 3)
        Node coordinates in the file's unit, in the file's order (STL points that are exactly
        equal are one node).
    faces : numpy.ndarray of int64, shape (M, k), or tuple of numpy.ndarray
        Node numbers of each face: one array when every face has k nodes, otherwise one 1-D
        array per face.
    path : str
        The file read.
    format : str
        The format found, e.g. ``"binary STL"``.
    notes : list of str
        What the reader noticed without stopping (merged nodes, skipped records, ...).
    """

    def __init__(self, vertices, faces, path, format, notes):
        self._packed = faces
        self.vertices = vertices
        public = faces.as_public()
        if isinstance(public, list):
            for a in public:
                a.flags.writeable = False
            public = tuple(public)
        else:
            public.flags.writeable = False
        self.faces = public
        self.path = path
        self.format = format
        self.notes = notes
        self._as_read = (vertices, public)
        self._checked = None

    def __iter__(self):
        yield self.vertices
        yield self.faces

    def __repr__(self):
        return (f"<vexmor.Mesh {self.path!r}: {len(self.vertices)} nodes, {len(self._packed)} "
                f"faces, {self.format}>")

    def _prepared(self):
        """The checked mesh for the analyses, made once; None once an attribute was replaced."""
        if self._as_read[0] is not self.vertices or self._as_read[1] is not self.faces:
            return None
        if self._checked is None:
            # The same checks as for any caller's arrays, on the packed faces.
            self._checked = validated(self.vertices, self._packed)
            self._checked.vertices.flags.writeable = False
        return self._checked


def read(path, *, merge_equal_nodes=True):
    """Read a mesh file with the readers of the ``vexmor`` program.

    Parameters
    ----------
    path : str or os.PathLike
        A ``.stl`` (text or binary), ``.obj``, ``.off`` or ``.ply`` (text or binary) file.
        The format comes from the extension, or from the content when the extension names
        none.
    merge_equal_nodes : bool, optional
        Merge nodes at exactly equal positions when that closes (some of) an open surface,
        as the program does (some exporters repeat a node for every face around it). A note
        says so when it happens. Default True.

    Returns
    -------
    Mesh
        ``vertices`` (N, 3) float64 and ``faces``, plus ``format`` and ``notes``;
        ``vertices, faces = vexmor.read(path)`` unpacks it.

    Raises
    ------
    ReadError
        The file cannot be opened or read, or is not a mesh of a known format; the message
        names the file, the line or byte, and what was expected there.
    """
    name = os.fspath(path)
    lib = _library.reader()
    result = lib.VXR_Read(os.fsencode(name), 1 if merge_equal_nodes else 0)
    if not result:
        raise MemoryError(f"{name}: not enough memory to read the mesh")
    try:
        m = result.contents
        if m.error:
            raise ReadError(m.error.decode("utf-8", errors="replace"))
        coords = _copy(m.coordinates, 3 * m.nodeCount, np.float64).reshape(-1, 3)
        faces = Faces(_copy(m.faceSizes, m.faceCount, np.int32),
                      _copy(m.faceNodes, m.nodeRefCount, np.int32))
        fmt = m.format.decode("utf-8", errors="replace")
        notes = [n for n in m.notes.decode("utf-8", errors="replace").split("\n") if n]
    finally:
        lib.VXR_Free(result)
    coords.flags.writeable = False
    return Mesh(coords, faces, name, fmt, notes)


def _copy(pointer, count, dtype):
    if count == 0:
        return np.zeros(0, dtype=dtype)
    return np.ctypeslib.as_array(pointer, shape=(count,)).astype(dtype, copy=True)


__all__ = ["read", "Mesh"]
