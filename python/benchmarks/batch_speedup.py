"""Batch speed-up: the same parts summarised on 1 thread, then on 2 (or --workers).

    python3 python/benchmarks/batch_speedup.py MESH_DIR [--count 20] [--repeat 3]

Takes the first COUNT mesh files under MESH_DIR in path order (files over 8 MB left out, so
that one part does not set the whole time), runs vexmor.batch with check, ray thickness,
gradient, draft and dihedral angles, and prints the best wall time of each setting, the CPU
time it used and the speed-up. The rows of both settings must be equal.
"""

import argparse
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import vexmor  # noqa: E402

ANALYSES = ["check", "ray", "gradient", "draft", "dihedral"]
EXTENSIONS = {".stl", ".obj", ".off", ".ply"}


def mesh_files(directory, count):
    files = sorted(p for p in Path(directory).rglob("*")
                   if p.suffix.lower() in EXTENSIONS and p.stat().st_size <= 8 << 20)
    return [str(p) for p in files[:count]]


def timed(paths, workers, repeat):
    best = None
    for _ in range(repeat):
        cpu0, wall0 = time.process_time(), time.perf_counter()
        rows = vexmor.batch(paths, ANALYSES, workers=workers)
        wall, cpu = time.perf_counter() - wall0, time.process_time() - cpu0
        if best is None or wall < best[0]:
            best = (wall, cpu, rows)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("directory")
    parser.add_argument("--count", type=int, default=20)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--workers", type=int, default=2)
    args = parser.parse_args()
    paths = mesh_files(args.directory, args.count)
    if not paths:
        sys.exit(f"no mesh files under {args.directory}")
    faces = 0
    for p in paths:
        faces += len(vexmor.read(p).faces)
    print(f"{len(paths)} parts, {faces} faces, analyses {', '.join(ANALYSES)}; "
          f"{os.cpu_count()} processors, load average {os.getloadavg()[0]:.1f}")
    one = timed(paths, 1, args.repeat)
    many = timed(paths, args.workers, args.repeat)
    for workers, (wall, cpu, _) in ((1, one), (args.workers, many)):
        print(f"  {workers} thread(s): {wall:6.2f} s wall, {cpu:6.2f} s CPU "
              f"({cpu / wall:.2f} cores busy)")
    same = all(a == b for a, b in zip(one[2], many[2]))
    print(f"  speed-up {one[0] / many[0]:.2f}x; rows identical: {same}")
    errors = [r for r in one[2] if r["error"]]
    for r in errors:
        print(f"  error row: {r['path']}: {r['error']}")
    if not same:
        sys.exit(1)


if __name__ == "__main__":
    main()
