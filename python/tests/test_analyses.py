"""Each function against the C library called directly, and the geometric truths that show
its units and its handling of faces other than triangles."""

import ctypes

import numpy as np
import pytest

import vexmor
from conftest import box, call_library, frame_scale, plate, pointer, tetrahedron, u_prism


def library_face_values(entry, vertices, faces, *flags):
    out = np.empty(len(faces))
    assert call_library(entry, vertices, faces, pointer(out), *flags) == 0
    return out


def library_edges(vertices, faces, signed):
    count = ctypes.c_uint32()
    nodes = np.empty((3 * len(faces), 2), np.int32)
    angles = np.empty(3 * len(faces))
    assert call_library("VX_Edge_Diedral_Angle", vertices, faces, ctypes.byref(count),
                        pointer(nodes), pointer(angles), int(signed)) == 0
    return nodes[:count.value], angles[:count.value]


def library_nodes(vertices, faces, signed):
    out = np.empty(len(vertices))
    assert call_library("VX_Diedral_Angle", vertices, faces, pointer(out), int(signed)) == 0
    return out


def library_gradient(vertices, faces):
    thickness, out = np.linspace(1, 2, len(faces)), np.empty(len(faces))
    assert call_library("VX_Thickness_Gradient", vertices, faces, pointer(thickness),
                        pointer(out)) == 0
    return out


PULL = np.array([0.3, -0.2, 0.9])
POINTS = np.array([[0.5, 0.5, 3.0], [-2.0, 4.0, 0.1], [5.0, 5.0, 0.25]])


def library_distances(vertices, faces):
    both = np.concatenate([vertices, POINTS])
    out = np.empty(len(both))
    assert call_library("VX_Thickness_Computation_DN2S", both, faces, pointer(out), 0) == 0
    return out[len(vertices):] / frame_scale(both)


# (what the package returns, what the library returns, converted as the package documents)
AGAINST_THE_LIBRARY = {
    "ray_thickness": (lambda v, f: vexmor.ray_thickness(v, f),
                      lambda v, f: library_face_values("VX_Thickness_RayTracing", v, f, 0)),
    "ray_thickness outside": (
        lambda v, f: vexmor.ray_thickness(v, f, outside=True),
        lambda v, f: library_face_values("VX_Thickness_RayTracing", v, f, 1)),
    "contact_thickness": (
        lambda v, f: vexmor.contact_thickness(v, f),
        lambda v, f: library_face_values("VX_Thickness_Computation_LSCP", v, f, 0)),
    "contact_thickness outside": (
        lambda v, f: vexmor.contact_thickness(v, f, outside=True),
        lambda v, f: library_face_values("VX_Thickness_Computation_LSCP", v, f, 1)),
    "sphere_thickness is the diameter": (
        lambda v, f: vexmor.sphere_thickness(v, f),
        lambda v, f: library_face_values("VX_Thickness_Computation_LSR", v, f, 0)
        / frame_scale(v) * 2),
    "thickness_gradient": (
        lambda v, f: vexmor.thickness_gradient(v, f, np.linspace(1, 2, len(f))),
        library_gradient),
    "draft in degrees": (
        lambda v, f: vexmor.draft(v, f, pull=PULL),
        lambda v, f: np.degrees(np.arcsin(library_face_values(
            "VX_Draft_Angle", v, f, pointer(PULL))))),
    "edge_dihedral_angles": (
        lambda v, f: np.c_[vexmor.edge_dihedral_angles(v, f)],
        lambda v, f: np.c_[library_edges(v, f, False)]),
    "edge_dihedral_angles signed": (
        lambda v, f: np.c_[vexmor.edge_dihedral_angles(v, f, signed=True)],
        lambda v, f: np.c_[library_edges(v, f, True)]),
    "node_dihedral_angles": (lambda v, f: vexmor.node_dihedral_angles(v, f),
                             lambda v, f: library_nodes(v, f, False)),
    "node_dihedral_angles signed convex positive": (
        lambda v, f: vexmor.node_dihedral_angles(v, f, signed=True),
        lambda v, f: -library_nodes(v, f, True)),
    "distance_to_surface": (lambda v, f: vexmor.distance_to_surface(v, f, POINTS),
                            library_distances),
}


@pytest.mark.parametrize("analysis", sorted(AGAINST_THE_LIBRARY))
def test_each_function_returns_the_library_results_in_the_documented_units(analysis,
                                                                           triangle_mesh):
    ours, theirs = AGAINST_THE_LIBRARY[analysis]
    vertices, faces = triangle_mesh
    np.testing.assert_array_equal(ours(vertices, faces), theirs(vertices, faces))


@pytest.mark.parametrize("function", [vexmor.ray_thickness, vexmor.contact_thickness,
                                      vexmor.sphere_thickness])
def test_a_plate_measures_its_thickness_in_the_callers_unit(function):
    vertices, faces = plate(0.5)
    for unit in (1.0, 25.4):  # the same plate in millimetres and in inches
        t = function(vertices * unit, faces)
        big_faces = np.abs(vexmor.draft(vertices, faces)) > 89
        np.testing.assert_allclose(t[big_faces], 0.5 * unit, rtol=2e-3)


def test_distance_to_surface_runs_on_open_surfaces_and_takes_a_mesh_object():
    vertices, faces = plate(1.0)

    class Sheet:  # the top of the plate only: open
        pass
    sheet = Sheet()
    sheet.vertices, sheet.faces = vertices, [f for f in faces if vertices[f, 2].min() == 1.0]
    np.testing.assert_allclose(vexmor.distance_to_surface(sheet, [[5, 5, 4], [5, 5, -2]]),
                               [3, 3])


def test_distance_to_surface_measures_quadrilaterals_as_they_are():
    # The library alone would measure the strip (0, 1, 2), (1, 2, 3), which leaves the
    # square's corner at node 0 bare.
    square = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], float)
    np.testing.assert_array_equal(
        vexmor.distance_to_surface(square, [[0, 1, 2, 3]], [[0.1, 0.5, 1.0]]), [1.0])


def arrow_prism():
    """A prism over a non-convex quadrilateral whose 0-2 diagonal lies outside it."""
    outline = np.array([[0, 0], [2, 1], [0, 2], [0.5, 1]])
    v = np.concatenate([np.c_[outline, np.zeros(4)], np.c_[outline, np.ones(4)]])
    return v, [[3, 2, 1, 0], [4, 5, 6, 7]] + [[i, (i + 1) % 4, 4 + (i + 1) % 4, 4 + i]
                                              for i in range(4)]


@pytest.mark.parametrize("prism, height", [(u_prism, 2.0), (arrow_prism, 1.0)])
def test_non_convex_faces_are_split_inside_themselves(prism, height):
    vertices, faces = prism()
    caps = slice(0, 2)
    np.testing.assert_allclose(vexmor.ray_thickness(vertices, faces)[caps], height)
    np.testing.assert_allclose(np.abs(vexmor.draft(vertices, faces)[caps]), 90)
    edges, angles = vexmor.edge_dihedral_angles(vertices, faces)
    assert len(edges) == 3 * (len(faces) - 2)  # the prism's own edges, no diagonal
    half = len(vertices) // 2
    around_caps = (edges[:, 0] < half) == (edges[:, 1] < half)
    np.testing.assert_allclose(angles[around_caps], 90)


def test_quadrilaterals_give_the_smallest_value_of_their_two_triangles():
    vertices, quads = box((3.0, 1.0, 2.0), quads=True)
    _, triangles = box((3.0, 1.0, 2.0))  # the first six split along 0-2, the next six
    per_triangle = vexmor.ray_thickness(vertices, triangles)
    np.testing.assert_array_equal(vexmor.ray_thickness(vertices, quads),
                                  np.minimum(per_triangle[:6], per_triangle[6:]))
    np.testing.assert_array_equal(vexmor.draft(vertices, quads), vexmor.draft(vertices,
                                                                              triangles)[:6])


def test_a_tetrahedron_folds_by_its_dihedral_angle_on_every_edge():
    edges, angles = vexmor.edge_dihedral_angles(*tetrahedron(), signed=True)
    assert len(edges) == 6
    np.testing.assert_allclose(angles, np.degrees(np.arccos(-1 / 3)))


def test_check_counts_what_the_mesh_is_made_of():
    vertices, faces = u_prism()
    c = vexmor.check(vertices, faces)
    assert (c.nodes, c.faces, c.quadrilaterals, c.polygons, c.edges) == (16, 10, 8, 2, 24)
    assert c.accepted and c.closed and c.reasons == []
