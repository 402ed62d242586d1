#!/usr/bin/env bash
# Compares the fingerprints of every library output with golden/expected.txt, or records them.
#   golden/check.sh GOLDEN_PROGRAM [--record]
# Meshes come from VEXMOR_MESHES (default ../shared/meshes; empty: none, only the meshes built
# in code); those absent are skipped, and only the lines of meshes present are compared. JOBS processes run at once. RUNNER, if set,
# is the command that runs the program (RUNNER=wine64 for a cross-built vexmor_golden.exe).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "$1")"
record="${2:-}"
meshes="${VEXMOR_MESHES-$here/../../shared/meshes}"
jobs="${JOBS:-$(nproc)}"
export RUNNER="${RUNNER:-}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

$RUNNER "$program" --built >"$out/built.txt"
if [ -d "$meshes" ]; then
  grep -v '^#' "$here/meshes.txt" | while read -r m; do if [ -f "$meshes/$m" ]; then echo "$m"; fi; done |
    (cd "$meshes" && xargs -P "$jobs" -I{} sh -c '$RUNNER "$0" "$1" >"$2/$(echo "$1" | tr / _).txt"' \
      "$program" {} "$out")
else
  echo "golden: no mesh corpus${meshes:+ at $meshes}; comparing the built meshes only"
fi
# A Windows program ends its lines with a carriage return too.
cat "$out"/*.txt | tr -d '\r' | LC_ALL=C sort >"$out/actual"

if [ "$record" = "--record" ]; then
  cp "$out/actual" "$here/expected.txt"
  echo "golden: recorded $(wc -l <"$out/actual") outputs in golden/expected.txt"
  exit 0
fi
cut -d' ' -f1 "$out/actual" | sort -u >"$out/present"
LC_ALL=C awk 'NR == FNR { keep[$1] = 1; next } keep[$1]' "$out/present" "$here/expected.txt" |
  LC_ALL=C sort >"$out/expected"
if diff "$out/expected" "$out/actual" >"$out/diff"; then
  echo "golden: all $(wc -l <"$out/actual") outputs identical"
else
  echo "golden: outputs differ (- expected, + this build):"
  grep '^[<>]' "$out/diff" | sed 's/^</-/; s/^>/+/'
  exit 1
fi
