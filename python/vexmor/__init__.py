"""vexmor: wall thickness, draft and dihedral angles of closed surface meshes of solid parts.

A thin layer over the vexmor C library (loaded with ctypes; the GIL is released during every
analysis). Every function takes ``vertices`` (N, 3) and ``faces`` (M, 3) or (M, 4) or a list of
polygons, or one object with ``.vertices`` and ``.faces`` such as a ``trimesh.Trimesh``, and
returns numpy arrays: lengths in the unit of the vertices, angles in degrees.

    >>> import vexmor
    >>> mesh = vexmor.read("part.stl")                      # doctest: +SKIP
    >>> vexmor.ray_thickness(mesh).min()                    # doctest: +SKIP

Analyses: ray_thickness, contact_thickness, sphere_thickness, distance_to_surface,
thickness_gradient, draft, edge_dihedral_angles, node_dihedral_angles, check.
Files: read. Many parts: batch, summarize. Library location: use_library,
or the environment variable VEXMOR_LIBRARY_DIR. The library's diagnostic lines go to the
"vexmor" logger.
"""

from ._library import LibraryNotFound, use_library
from .analyses import (CheckResult, EdgeAngles, check, contact_thickness, distance_to_surface,
                       draft, edge_dihedral_angles, node_dihedral_angles, ray_thickness,
                       sphere_thickness, thickness_gradient)
from .batch import ANALYSES as BATCH_ANALYSES
from .batch import batch, summarize
from .errors import AnalysisFailed, MeshRejected, ReadError, VexmorError
from .io import Mesh, read

__version__ = "0.1.0"

__all__ = [
    "ray_thickness", "contact_thickness", "sphere_thickness", "distance_to_surface",
    "thickness_gradient", "draft", "edge_dihedral_angles", "node_dihedral_angles", "check",
    "CheckResult", "EdgeAngles", "read", "Mesh", "batch", "summarize", "BATCH_ANALYSES",
    "use_library",
    "VexmorError", "MeshRejected", "AnalysisFailed", "ReadError", "LibraryNotFound",
]
