"""Reading files with the program's readers, and summaries of many files: on threads, and on
a local Dask cluster."""

import numpy as np
import pytest

import vexmor
from conftest import box, box_with_cavity, u_prism


def write_stl(path, vertices, faces):
    lines = ["solid part"]
    for f in faces:
        lines.append("facet normal 0 0 0\nouter loop")
        lines += [f"vertex {x!r} {y!r} {z!r}" for x, y, z in vertices[f]]
        lines.append("endloop\nendfacet")
    path.write_text("\n".join(lines + ["endsolid part\n"]))


def write_off(path, vertices, faces):
    lines = ["OFF", f"{len(vertices)} {len(faces)} 0"]
    lines += [" ".join(repr(float(c)) for c in v) for v in vertices]
    lines += [" ".join(map(str, [len(f), *f])) for f in faces]
    path.write_text("\n".join(lines) + "\n")


@pytest.fixture
def parts(tmp_path):
    """Two good parts, an open one, one that is no mesh and one that does not exist."""
    write_stl(tmp_path / "cavity.stl", *box_with_cavity())
    write_off(tmp_path / "u.off", *u_prism())
    v, f = box()
    write_off(tmp_path / "open.off", v, f[1:])
    (tmp_path / "junk.stl").write_text("solid x\nfacet normal 0 0 1\nouter loop\nvertex 1 2 x\n")
    return [str(tmp_path / n) for n in ("cavity.stl", "u.off", "open.off", "junk.stl",
                                        "missing.obj")]


def test_read_gives_the_files_nodes_and_faces(parts):
    cavity = vexmor.read(parts[0])
    vertices, faces = cavity
    expected_v, expected_f = box_with_cavity()
    # The STL reader welds the points that the triangles share: 16 nodes, first seen first.
    np.testing.assert_array_equal(vertices[faces], expected_v[expected_f])
    assert vertices.shape == (16, 3) and cavity.format == "text STL"
    u = vexmor.read(parts[1])
    assert [list(f) for f in u.faces] == [list(f) for f in u_prism()[1]]
    np.testing.assert_array_equal(vexmor.ray_thickness(u), vexmor.ray_thickness(*u_prism()))


@pytest.mark.parametrize("index, says", [(3, "junk.stl:4"), (4, "missing.obj: cannot open")])
def test_an_unreadable_file_raises_read_error_naming_it(parts, index, says):
    with pytest.raises(vexmor.ReadError) as error:
        vexmor.read(parts[index])
    assert says in str(error.value)


ANALYSES = ["check", "ray", "contact", "sphere", "gradient", "draft", "dihedral"]


def test_batch_gives_one_row_per_file_and_never_stops_on_a_bad_one(parts):
    rows = vexmor.batch(parts, ANALYSES, workers=2)
    assert [r["path"] for r in rows] == parts
    assert len({tuple(r) for r in rows}) == 1  # the same columns in every row
    cavity, u, open_box, junk, missing = rows
    assert cavity["error"] is None and u["error"] is None
    ray = vexmor.ray_thickness(vexmor.read(parts[0]))
    assert (cavity["ray_min"], cavity["ray_max"]) == (ray.min(), ray.max())
    assert cavity["faces"] == 24 and cavity["accepted"] and u["sharp_edges"] == 24
    assert open_box["boundary_edges"] == 3 and open_box["accepted"] is False
    assert "ray: ray_thickness: the mesh is rejected" in open_box["error"]
    assert junk["error"].startswith("read: ") and junk["nodes"] is None
    assert "missing.obj" in missing["error"]
    assert rows == vexmor.batch(parts, ANALYSES, workers=1)


def test_batch_on_a_local_dask_cluster_gives_the_rows_of_the_thread_pool(parts):
    distributed = pytest.importorskip("distributed")
    import dask

    # Worker processes start slowly on a busy machine: give them time to come up.
    with dask.config.set({"distributed.comm.timeouts.connect": "120s"}), \
            distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                     dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        on_dask = vexmor.batch(parts, ANALYSES, executor=client.get_executor())
    assert on_dask == vexmor.batch(parts, ANALYSES, workers=2)
