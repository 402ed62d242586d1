"""The package installs offline with pip and then finds the libraries it carries."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parent.parent


@pytest.mark.skipif(not (SOURCE / "vexmor" / "_lib").is_dir(),
                    reason="the libraries are put in the package by 'make python'")
def test_pip_installs_the_package_with_its_libraries(tmp_path):
    target = tmp_path / "site"
    subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-build-isolation",
                    "--no-deps", "--no-index", "--target", str(target), str(SOURCE)],
                   check=True, capture_output=True)
    env = {k: v for k, v in os.environ.items() if k not in ("VEXMOR_LIBRARY_DIR", "PYTHONPATH")}
    env["PYTHONPATH"] = str(target)
    script = ("import vexmor, numpy as np\n"
              "v = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], float)\n"
              "f = [[0, 2, 1], [0, 1, 3], [0, 3, 2], [1, 2, 3]]\n"
              "print(vexmor.__file__, vexmor.edge_dihedral_angles(v, f).angles.size)\n")
    out = subprocess.run([sys.executable, "-c", script], cwd=tmp_path, env=env, check=True,
                         capture_output=True, text=True).stdout.split()
    assert out == [str(target / "vexmor" / "__init__.py"), "6"]


def test_the_library_directory_can_be_chosen(tmp_path):
    import vexmor
    from conftest import box

    found = vexmor._library._find(vexmor._library._CORE_NAMES, "").parent
    try:
        vexmor.use_library(tmp_path)
        with pytest.raises(vexmor.LibraryNotFound, match="make python"):
            vexmor.ray_thickness(*box())
        vexmor.use_library(found)
        assert vexmor.ray_thickness(*box()).tolist() == [1.0] * 12
    finally:
        vexmor.use_library(None)
