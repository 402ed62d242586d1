"""The exceptions that vexmor raises besides ValueError and TypeError."""


class VexmorError(Exception):
    """Base class of the errors that vexmor raises for a mesh or a file."""


class MeshRejected(VexmorError):
    """The library refused the mesh: it is open or non-manifold.

    Every analysis but :func:`vexmor.distance_to_surface` needs a closed surface in which
    each edge is shared by exactly two faces.

    Attributes
    ----------
    analysis : str
        The function that was called, e.g. ``"ray_thickness"``.
    boundary_edges : int
        Edges used by one face only: the surface is open there.
    non_manifold_edges : int
        Edges used by three faces or more.
    """

    def __init__(self, message, analysis, boundary_edges, non_manifold_edges):
        super().__init__(message)
        self.analysis = analysis
        self.boundary_edges = boundary_edges
        self.non_manifold_edges = non_manifold_edges


class AnalysisFailed(VexmorError):
    """The library accepted the mesh but its analysis reported failure."""


class ReadError(VexmorError):
    """A mesh file could not be read; the message names the file, the place and the reason."""
