"""Finding and loading the two shared libraries, and keeping the analysis library's
diagnostic lines off the process's standard output.

``libvexmor`` holds the eight analysis functions; ``libvexmor_read`` holds the program's
mesh readers. Both are looked up, in this order, in:

1. the directory given to :func:`vexmor.use_library`, or else the one named by the
   environment variable ``VEXMOR_LIBRARY_DIR`` (either one is the only place searched);
2. the package's own ``_lib`` directory, where ``make python`` puts them and from which
   ``pip install ./python`` copies them;
3. the build tree of the source checkout holding the package (``build/release``).

Inside a directory, the reader is also looked for under ``tools/reader``, so a build
directory can be named as it is.
"""

import ctypes
import logging
import os
import re
import sys
import threading
from pathlib import Path

LIBRARY_DIR_VARIABLE = "VEXMOR_LIBRARY_DIR"

if sys.platform == "win32":
    _CORE_NAMES, _READER_NAMES = ("vexmor.dll",), ("vexmor_read.dll",)
elif sys.platform == "darwin":
    _CORE_NAMES, _READER_NAMES = ("libvexmor.dylib",), ("libvexmor_read.dylib",)
else:
    _CORE_NAMES = ("libvexmor.so", "libvexmor.so.0")
    _READER_NAMES = ("libvexmor_read.so",)

logger = logging.getLogger("vexmor")

_lock = threading.Lock()
_chosen_dir = None
_core = None
_reader = None


class LibraryNotFound(OSError):
    """The shared library could not be found or loaded."""


def use_library(directory):
    """Load the vexmor libraries from `directory` from now on.

    Parameters
    ----------
    directory : str or os.PathLike or None
        A directory holding ``libvexmor.so`` (and ``libvexmor_read.so``, or a
        ``tools/reader`` directory holding it, as a build directory does). ``None``
        returns to the default search: ``VEXMOR_LIBRARY_DIR``, the package's ``_lib``
        directory, then the source checkout's ``build/release``.
    """
    global _chosen_dir, _core, _reader
    with _lock:
        _chosen_dir = None if directory is None else Path(directory)
        _core = _reader = None


def _search_dirs():
    explicit = _chosen_dir or os.environ.get(LIBRARY_DIR_VARIABLE)
    if explicit:
        return [Path(explicit)]
    package = Path(__file__).resolve().parent
    return [package / "_lib", package.parent.parent / "build" / "release"]


def _find(names, what):
    dirs = _search_dirs()
    for directory in dirs:
        for sub in (directory, directory / "tools" / "reader"):
            for name in names:
                if (sub / name).is_file():
                    return sub / name
    raise LibraryNotFound(
        f"cannot find {names[0]} ({what}) in {', '.join(str(d) for d in dirs)}: "
        f"run 'make python' in the source checkout, or point {LIBRARY_DIR_VARIABLE} "
        "(or vexmor.use_library) at the directory that holds it")


def _load(names, what):
    path = _find(names, what)
    try:
        # ctypes.CDLL releases the GIL for the length of every call.
        return ctypes.CDLL(str(path))
    except OSError as e:
        raise LibraryNotFound(f"cannot load {path}: {e}") from e


_i32, _u32, _u8 = ctypes.c_int32, ctypes.c_uint32, ctypes.c_uint8
_ptr = ctypes.c_void_p
_MESH_ARGS = [_i32, _i32, _ptr, _ptr]  # nbNodes, szelem, connectivity, coordinates
_SIGNATURES = {
    "VX_Diedral_Angle": [_ptr, _u32],
    "VX_Draft_Angle": [_ptr, _ptr],
    "VX_Edge_Diedral_Angle": [_ptr, _ptr, _ptr, _u32],
    "VX_Thickness_Computation_DN2S": [_ptr, _u8],
    "VX_Thickness_Computation_LSCP": [_ptr, _u8],
    "VX_Thickness_Computation_LSR": [_ptr, _u8],
    "VX_Thickness_Gradient": [_ptr, _ptr],
    "VX_Thickness_RayTracing": [_ptr, _u8],
}


class _ReadMesh(ctypes.Structure):
    _fields_ = [
        ("nodeCount", ctypes.c_int64),
        ("faceCount", ctypes.c_int64),
        ("nodeRefCount", ctypes.c_int64),
        ("coordinates", ctypes.POINTER(ctypes.c_double)),
        ("faceSizes", ctypes.POINTER(ctypes.c_int32)),
        ("faceNodes", ctypes.POINTER(ctypes.c_int32)),
        ("format", ctypes.c_char_p),
        ("notes", ctypes.c_char_p),
        ("error", ctypes.c_char_p),
    ]


def core():
    """The analysis library, loaded once, with the signatures of its eight functions."""
    global _core
    with _lock:
        if _core is None:
            lib = _load(_CORE_NAMES, "the vexmor analysis library")
            for name, extra in _SIGNATURES.items():
                function = getattr(lib, name)
                function.argtypes = _MESH_ARGS + extra
                function.restype = _i32
            _core = lib
        return _core


def reader():
    """The reading library, loaded once."""
    global _reader
    with _lock:
        if _reader is None:
            lib = _load(_READER_NAMES, "the vexmor mesh readers")
            lib.VXR_Read.argtypes = [ctypes.c_char_p, _i32]
            lib.VXR_Read.restype = ctypes.POINTER(_ReadMesh)
            lib.VXR_Free.argtypes = [ctypes.POINTER(_ReadMesh)]
            lib.VXR_Free.restype = None
            _reader = lib
        return _reader


# ---------------------------------------------------------------------------------------
# The library prints a few diagnostic lines through C's stdout stream (the mesh check's
# volume list on every call, warnings such as "Unable to define the volume(...)"). While
# any call runs, C's stdout is pointed at a pipe whose lines go to the "vexmor" logger:
# routine lines at DEBUG, the others at WARNING. File descriptor 1 is left alone, so what
# Python itself prints, from any thread, is never caught or lost. Where the C runtime's
# stdout cannot be reached (not glibc), the lines stay on standard output.

_ROUTINE_LINE = re.compile(r"^(S2V : |-?\d+ ; volume \d+, state -?\d+)")


class _DiagnosticsToLog:
    def __init__(self):
        self._lock = threading.Lock()
        self._depth = 0
        self._saved = None
        self._pipe_file = None
        self._libc = None
        self._stdout = None
        try:
            libc = ctypes.CDLL(None)
            self._stdout = ctypes.c_void_p.in_dll(libc, "stdout")
            libc.fdopen.argtypes = [ctypes.c_int, ctypes.c_char_p]
            libc.fdopen.restype = ctypes.c_void_p
            libc.fflush.argtypes = [ctypes.c_void_p]
            self._libc = libc
        except (OSError, ValueError, AttributeError):
            self._stdout = None
        if hasattr(os, "register_at_fork"):
            os.register_at_fork(after_in_child=self._after_fork)

    def _open_pipe(self):
        read_fd, write_fd = os.pipe()
        self._pipe_file = self._libc.fdopen(write_fd, b"w")
        if not self._pipe_file:
            os.close(read_fd)
            os.close(write_fd)
            self._stdout = None
            return
        threading.Thread(target=self._forward, args=(read_fd,), name="vexmor-diagnostics",
                         daemon=True).start()

    @staticmethod
    def _forward(read_fd):
        with os.fdopen(read_fd, "r", encoding="utf-8", errors="replace") as pipe:
            for line in pipe:
                line = line.rstrip("\n")
                if not line:
                    continue
                level = logging.DEBUG if _ROUTINE_LINE.match(line) else logging.WARNING
                logger.log(level, "library: %s", line)

    def _after_fork(self):
        # The child has no forwarding thread: give C's stdout back and start afresh there.
        if self._saved is not None and self._stdout is not None:
            self._stdout.value = self._saved
        self._lock = threading.Lock()
        self._depth = 0
        self._saved = None
        self._pipe_file = None

    def __enter__(self):
        with self._lock:
            if self._depth == 0 and self._stdout is not None:
                if self._pipe_file is None:
                    self._open_pipe()
                if self._pipe_file:
                    self._libc.fflush(self._stdout.value)
                    self._saved = self._stdout.value
                    self._stdout.value = self._pipe_file
            self._depth += 1

    def __exit__(self, *exc):
        with self._lock:
            self._depth -= 1
            if self._depth == 0 and self._saved is not None:
                self._stdout.value = self._saved
                self._saved = None


diagnostics_to_log = _DiagnosticsToLog()
