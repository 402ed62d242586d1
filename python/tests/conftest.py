"""Meshes built in code, and the C library called directly, for the package's tests."""

import ctypes

import numpy as np
import pytest

from vexmor import _library

# The corners of a unit cube, and its six sides as quadrilaterals wound outwards.
CUBE_CORNERS = np.array([[x, y, z] for z in (0, 1) for y in (0, 1) for x in (0, 1)], float)
CUBE_QUADS = np.array([[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4],
                       [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]])


def box(size=(1.0, 1.0, 1.0), origin=(0.0, 0.0, 0.0), quads=False, inwards=False):
    """A closed box: 8 nodes, 6 quadrilaterals or 12 triangles."""
    vertices = CUBE_CORNERS * np.asarray(size) + np.asarray(origin)
    faces = CUBE_QUADS[:, ::-1] if inwards else CUBE_QUADS
    if not quads:
        faces = np.concatenate([faces[:, [0, 1, 2]], faces[:, [0, 2, 3]]])
    return vertices, faces


def plate(thickness=0.5):
    """A 10 x 10 plate of the given thickness, as 12 triangles."""
    return box((10.0, 10.0, thickness))


def box_with_cavity():
    """A 10-unit cube holding a 6-unit cubic void off its centre: two shells."""
    outer_v, outer_f = box((10.0, 10.0, 10.0))
    inner_v, inner_f = box((6.0, 6.0, 6.0), (2.0, 2.5, 1.5), inwards=True)
    return np.concatenate([outer_v, inner_v]), np.concatenate([outer_f, inner_f + 8])


def tetrahedron():
    v = np.array([[1, 1, 1], [1, -1, -1], [-1, 1, -1], [-1, -1, 1]], float)
    return v, np.array([[0, 1, 2], [0, 3, 1], [0, 2, 3], [1, 3, 2]])


def u_prism(height=2.0):
    """A U-shaped prism: two non-convex octagons (fanning them from their first node would
    cover the notch) and eight quadrilateral sides."""
    outline = np.array([[0, 0], [3, 0], [3, 3], [2, 3], [2, 1], [1, 1], [1, 3], [0, 3]], float)
    outline = np.roll(outline, -3, axis=0)  # start at a corner whose fan leaves the U
    n = len(outline)
    vertices = np.concatenate([np.c_[outline, np.zeros(n)], np.c_[outline, np.full(n, height)]])
    bottom = list(range(n))[::-1]
    top = list(range(n, 2 * n))
    sides = [[i, (i + 1) % n, n + (i + 1) % n, n + i] for i in range(n)]
    return vertices, [bottom, top] + sides


MESHES = {"plate": plate, "box_with_cavity": box_with_cavity, "tetrahedron": tetrahedron,
          "moved_scaled_plate": lambda: (plate()[0] * 25.4 + [100, -3, 7], plate()[1])}


@pytest.fixture(params=sorted(MESHES))
def triangle_mesh(request):
    return MESHES[request.param]()


def connectivity(faces):
    out = []
    for f in faces:
        out += [len(f), *f]
    return np.array(out, dtype=np.int32)


def call_library(entry, vertices, faces, *extra):
    """Calls one library function on triangles with the raw arrays; returns its status."""
    c = connectivity(faces)
    v = np.ascontiguousarray(vertices, dtype=np.float64)
    function = getattr(_library.core(), entry)
    return function(len(v), len(c), c.ctypes.data_as(ctypes.c_void_p),
                    v.ctypes.data_as(ctypes.c_void_p), *extra)


def pointer(a):
    return a.ctypes.data_as(ctypes.c_void_p)


def frame_scale(vertices):
    return 10000.0 / np.max(np.ptp(vertices, axis=0))
