"""What the package refuses before the library is called, what the library's refusal becomes,
and the forms in which a mesh may come."""

import logging

import numpy as np
import pytest

import vexmor
from conftest import box, plate, u_prism


def replaced(array, index, value):
    out = np.array(array, dtype=object if value is None else None)
    out[index] = value
    return out


def open_box():
    v, f = box()
    return v, f[1:]


def two_boxes_on_one_edge():
    v1, f1 = box()
    v2, f2 = box(origin=(1.0, 1.0, 0.0))
    v = np.concatenate([v1, v2])
    f2 = f2 + 8
    # The second box's corner nodes on the shared edge become the first box's.
    for mine, theirs in ((8, 3), (12, 7)):
        f2[f2 == mine] = theirs
    return v, np.concatenate([f1, f2])


V, F = box()
BAD_INPUT = {
    "vertices with two columns": (V[:, :2], F, "(N, 3)"),
    "a NaN coordinate": (replaced(V, (3, 1), np.nan), F, "row 3"),
    "an infinite coordinate": (replaced(V, (5, 0), np.inf), F, "row 5"),
    "a node number past the last node": (V, replaced(F, (5, 2), 8), "face 5 refers to node 8"),
    "a negative node number": (V, replaced(F, (0, 0), -1), "face 0 refers to node -1"),
    "a node number past 32 bits": (V, replaced(F, (2, 1), 2**40), "face 2 refers to node"),
    "a face of two nodes": (V, [list(f) for f in F[:-1]] + [[0, 1]], "face 11 has 2"),
    "faces of floats": (V, F.astype(float), "integer"),
    "faces of one column": (V, F[:, :1], "(M, 3)"),
    "all nodes at one point": (np.zeros((8, 3)), F, "one point"),
    "no faces": (V, F[:0], "no faces"),
}


@pytest.mark.parametrize("case", sorted(BAD_INPUT))
@pytest.mark.parametrize("function", [vexmor.ray_thickness, vexmor.draft, vexmor.check])
def test_bad_input_raises_value_error_naming_the_fault(case, function):
    vertices, faces, says = BAD_INPUT[case]
    with pytest.raises(ValueError, match=None) as error:
        function(vertices, faces)
    assert says in str(error.value)


@pytest.mark.parametrize("call, says", [
    (lambda: vexmor.draft(V, F, pull=(0, 0, 0)), "no length"),
    (lambda: vexmor.draft(V, F, pull="w"), "'x', 'y', 'z'"),
    (lambda: vexmor.draft(V, F, pull=(0, np.nan, 1)), "three finite"),
    (lambda: vexmor.thickness_gradient(V, F, np.ones(11)), "one number per face (12)"),
    (lambda: vexmor.thickness_gradient(V, F, replaced(np.ones(12), 4, np.nan)), "face 4"),
    (lambda: vexmor.distance_to_surface(V, F, [[0, 0]]), "points"),
])
def test_bad_arguments_raise_value_error(call, says):
    with pytest.raises(ValueError) as error:
        call()
    assert says in str(error.value)


@pytest.mark.parametrize("mesh, boundary, non_manifold", [
    (open_box, 3, 0), (two_boxes_on_one_edge, 0, 1)])
@pytest.mark.parametrize("function", [vexmor.ray_thickness, vexmor.contact_thickness,
                                      vexmor.sphere_thickness, vexmor.thickness_gradient,
                                      vexmor.draft, vexmor.edge_dihedral_angles,
                                      vexmor.node_dihedral_angles])
def test_an_open_or_non_manifold_mesh_is_rejected_with_its_counts(mesh, boundary,
                                                                  non_manifold, function):
    vertices, faces = mesh()
    with pytest.raises(vexmor.MeshRejected) as error:
        function(vertices, faces)
    e = error.value
    assert (e.boundary_edges, e.non_manifold_edges) == (boundary, non_manifold)
    assert f"{boundary} open edge(s)" in str(e) and f"{non_manifold} non-manifold" in str(e)
    assert e.analysis == function.__name__
    c = vexmor.check(vertices, faces)
    assert not c.accepted and (c.boundary_edges, c.non_manifold_edges) == (boundary,
                                                                          non_manifold)


class TrimeshLike:
    """Only what the package may rely on: .vertices and .faces."""

    def __init__(self, vertices, faces):
        self.vertices, self.faces = vertices, faces


@pytest.mark.parametrize("function", [vexmor.ray_thickness, vexmor.draft,
                                      vexmor.node_dihedral_angles, vexmor.check])
def test_a_mesh_object_lists_and_the_pair_of_arrays_give_one_result(function):
    vertices, faces = u_prism()
    vertices_before, faces_before = vertices.copy(), [list(f) for f in faces]
    as_pair = function(vertices, faces)
    as_object = function(TrimeshLike(vertices.astype(np.float32), faces))
    as_lists = function(vertices.tolist(), faces)
    for other in (as_object, as_lists):
        if isinstance(as_pair, np.ndarray):
            np.testing.assert_array_equal(other, as_pair)
        else:
            assert other == as_pair
    np.testing.assert_array_equal(vertices, vertices_before)
    assert [list(f) for f in faces] == faces_before


def test_a_mesh_object_and_faces_together_are_refused():
    with pytest.raises(TypeError):
        vexmor.ray_thickness(TrimeshLike(*plate()), plate()[1])
    with pytest.raises(TypeError):
        vexmor.ray_thickness(plate()[0])


def test_library_diagnostics_go_to_the_log_not_to_standard_output(capfd, caplog):
    vertices, faces = plate()
    with caplog.at_level(logging.DEBUG, logger="vexmor"):
        print("before")
        vexmor.ray_thickness(vertices, faces)
        print("after")
        # The lines arrive through a pipe: wait for the forwarding thread to log them.
        for _ in range(200):
            if any("S2V" in r.getMessage() for r in caplog.records):
                break
            import time
            time.sleep(0.01)
    out, _ = capfd.readouterr()
    assert out == "before\nafter\n"
    assert any("S2V" in r.getMessage() and r.levelno == logging.DEBUG for r in caplog.records)
