"""Summaries of many parts at once, on threads or on any executor (Dask, processes)."""

import os
from concurrent.futures import ThreadPoolExecutor

import numpy as np

from . import analyses as _analyses
from ._mesh import as_direction, check_sized
from .errors import MeshRejected, VexmorError
from .io import read

# Columns that each named analysis adds to a row. Face values are summarised with their
# area-weighted mean; "draft_needs_share" is the share of the area whose draft is within
# 1 degree of vertical (faces that need draft added before moulding).
ANALYSES = {
    "check": ("accepted", "boundary_edges", "non_manifold_edges"),
    "ray": ("ray_min", "ray_mean", "ray_max"),
    "contact": ("contact_min", "contact_mean", "contact_max"),
    "sphere": ("sphere_min", "sphere_mean", "sphere_max"),
    "gradient": ("gradient_mean", "gradient_max"),
    "draft": ("draft_min", "draft_max", "draft_needs_share"),
    "dihedral": ("dihedral_mean", "dihedral_max", "sharp_edges"),
}
_BASE_COLUMNS = ("path", "format", "nodes", "faces", "error")
_SHARP_DEGREES = 30.0
_NEEDS_DRAFT_DEGREES = 1.0


def _check_analyses(analyses):
    if isinstance(analyses, str) or callable(analyses):
        analyses = [analyses]
    analyses = list(analyses)
    for a in analyses:
        if not callable(a) and a not in ANALYSES:
            raise ValueError(f"unknown analysis {a!r}: expected one of {', '.join(ANALYSES)}, "
                             "or a function of the mesh returning a dict")
    return analyses


def _empty_row(path, analyses):
    row = dict.fromkeys(_BASE_COLUMNS)
    row["path"] = os.fspath(path)
    for a in analyses:
        if not callable(a):
            row.update(dict.fromkeys(ANALYSES[a]))
    return row


def _face_areas(mesh):
    """Area of every face: half the length of its vector area."""
    prepared = mesh._prepared()
    f, v = prepared.faces, prepared.vertices
    nxt = np.arange(1, len(f.nodes) + 1)
    nxt[f.starts + f.sizes - 1] = f.starts
    sides = np.cross(v[f.nodes], v[f.nodes[nxt]])
    return 0.5 * np.linalg.norm(np.add.reduceat(sides, f.starts, axis=0), axis=1)


def _weighted_mean(values, areas):
    total = areas.sum()
    return float((values * areas).sum() / total) if total > 0 else float(np.mean(values))


def _summaries(name, mesh, areas, pull, cache):
    if name == "check":
        c = _analyses.check(mesh)
        return {"accepted": c.accepted, "boundary_edges": c.boundary_edges,
                "non_manifold_edges": c.non_manifold_edges}
    if name in ("ray", "contact", "sphere"):
        function = {"ray": _analyses.ray_thickness, "contact": _analyses.contact_thickness,
                    "sphere": _analyses.sphere_thickness}[name]
        t = cache[name] = function(mesh)
        return {f"{name}_min": float(t.min()), f"{name}_mean": _weighted_mean(t, areas),
                f"{name}_max": float(t.max())}
    if name == "gradient":
        if "ray" not in cache:
            cache["ray"] = _analyses.ray_thickness(mesh)
        g = _analyses.thickness_gradient(mesh, thickness=cache["ray"])
        return {"gradient_mean": _weighted_mean(g, areas), "gradient_max": float(g.max())}
    if name == "draft":
        d = _analyses.draft(mesh, pull=pull)
        needs = np.abs(d) < _NEEDS_DRAFT_DEGREES
        return {"draft_min": float(d.min()), "draft_max": float(d.max()),
                "draft_needs_share": float(areas[needs].sum() / areas.sum())
                if areas.sum() > 0 else 0.0}
    _, angles = _analyses.edge_dihedral_angles(mesh)
    return {"dihedral_mean": float(angles.mean()), "dihedral_max": float(angles.max()),
            "sharp_edges": int(np.count_nonzero(angles > _SHARP_DEGREES))}


def summarize(path, analyses=("check", "ray"), *, pull="z"):
    """One summary row of one part: the work that :func:`batch` hands to each worker.

    Never raises for a bad file or mesh: the row's ``error`` says what went wrong, and
    the analyses that could run still fill their columns (an open or non-manifold mesh is
    refused once, by the first analysis that needs a closed one; ``"check"`` still counts
    its faulty edges).

    Parameters
    ----------
    path : str or os.PathLike
        A mesh file that :func:`vexmor.read` takes.
    analyses : sequence of str or callables, optional
        Names from ``vexmor.BATCH_ANALYSES`` (``"check"``, ``"ray"``, ``"contact"``,
        ``"sphere"``, ``"gradient"``, ``"draft"``, ``"dihedral"``), or functions taking the
        :class:`vexmor.Mesh` and returning a dict of columns.
    pull : array_like of 3 floats, or str, optional
        Pull direction of the ``"draft"`` analysis (default +z).

    Returns
    -------
    dict
        ``path``, ``format``, ``nodes``, ``faces``, ``error`` (None, or one message per
        failed step, ``"; "``-joined) and the columns of each analysis (None where it did not
        run). Thickness values are in the file's unit, angles in degrees; face values are
        summarised by their minimum, area-weighted mean and maximum.
    """
    analyses = _check_analyses(analyses)
    pull = as_direction(pull)
    row = _empty_row(path, analyses)
    try:
        mesh = read(path)
    except (VexmorError, OSError, ValueError, MemoryError) as e:
        row["error"] = f"read: {e}"
        return row
    row.update(format=mesh.format, nodes=len(mesh.vertices), faces=len(mesh.faces))
    try:
        check_sized(mesh._prepared(), None, need_faces=True)
        areas = _face_areas(mesh)
    except ValueError as e:
        row["error"] = f"mesh: {e}"
        return row
    errors, cache, rejected = [], {}, False
    for a in analyses:
        name = getattr(a, "__name__", "analysis") if callable(a) else a
        if rejected and name != "check" and not callable(a):
            continue  # the same refusal again: said once
        try:
            row.update(a(mesh) if callable(a) else _summaries(a, mesh, areas, pull, cache))
        except MeshRejected as e:
            rejected = True
            errors.append(f"{name}: {e}")
        except (VexmorError, ValueError, MemoryError) as e:
            errors.append(f"{name}: {e}")
    row["error"] = "; ".join(errors) or None
    return row


def batch(paths, analyses=("check", "ray"), workers=None, *, executor=None, pull="z"):
    """Summarise many parts, one row each, running parts side by side.

    The library releases the GIL for every call, so threads use every core. One bad file
    never stops the batch: its row carries the error.

    Parameters
    ----------
    paths : iterable of str or os.PathLike
        Mesh files.
    analyses : sequence of str or callables, optional
        What to run on each part (see :func:`summarize`). Default: check and ray thickness.
    workers : int, optional
        Threads to run at once (default: the number of processors). Ignored with `executor`.
    executor : concurrent.futures.Executor, optional
        Where to run the parts instead of a thread pool: a ``ProcessPoolExecutor``, or a Dask
        cluster through ``client.get_executor()`` (the workers must see the files at the
        same paths and have vexmor installed).
    pull : array_like of 3 floats, or str, optional
        Pull direction of the ``"draft"`` analysis (default +z).

    Returns
    -------
    list of dict
        One row per path, in the order of `paths` (see :func:`summarize`); the rows load
        straight into ``pandas.DataFrame(rows)``.

    Examples
    --------
    >>> rows = vexmor.batch(glob.glob("parts/*.stl"), ["check", "ray", "draft"],
    ...                     workers=2)                               # doctest: +SKIP
    >>> [r["path"] for r in rows if r["error"]]                      # doctest: +SKIP
    """
    paths = [os.fspath(p) for p in paths]
    analyses = _check_analyses(analyses)
    as_direction(pull)
    if executor is not None:
        return _collect(executor, paths, analyses, pull)
    with ThreadPoolExecutor(max_workers=workers or os.cpu_count() or 1,
                            thread_name_prefix="vexmor-batch") as pool:
        return _collect(pool, paths, analyses, pull)


def _collect(executor, paths, analyses, pull):
    futures = [executor.submit(summarize, p, analyses, pull=pull) for p in paths]
    rows = []
    for path, future in zip(paths, futures):
        try:
            rows.append(future.result())
        except Exception as e:  # a worker lost, a custom analysis that raised: one row
            row = _empty_row(path, analyses)
            row["error"] = f"{type(e).__name__}: {e}"
            rows.append(row)
    return rows


__all__ = ["batch", "summarize", "ANALYSES"]
