#!/usr/bin/env bash
# Runs every libFuzzer target of a build for FUZZ_SECONDS each (default 60), JOBS at a time
# (default: the number of processors), and prints one line per target, as each ends, with its
# time, executions, executions per second and verdict.
#   fuzz/run.sh BUILD_FUZZ_DIR [TARGET...]
# Each target starts from its kept seeds (fuzz/corpus/<name>) and past failures
# (fuzz/regressions/<name>); what it learns goes to BUILD_FUZZ_DIR/work/<name>, and any input
# that fails to BUILD_FUZZ_DIR/artifacts/<name>/, so the repository's folders stay as kept.
# An input running longer than FUZZ_TIMEOUT seconds (default 10, sanitizers included) fails.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: fuzz/run.sh BUILD_FUZZ_DIR [TARGET...]}"
shift
seconds="${FUZZ_SECONDS:-60}"
timeout="${FUZZ_TIMEOUT:-10}"
jobs="${JOBS:-$(nproc)}"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for binary in "$build"/fuzz/*_fuzzer; do
    [ -x "$binary" ] && targets+=("$(basename "$binary" _fuzzer)")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz" >&2; exit 1; }

# Runs one target and prints its line; the exit status is the target's.
run_target() {
  local name=$1
  local work="$build/work/$name" artifacts="$build/artifacts/$name" log="$build/logs/$name.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  local dict=()
  [ -f "$here/dict/$name.dict" ] && dict=("-dict=$here/dict/$name.dict")
  local seeds=()
  for dir in "$here/corpus/$name" "$here/regressions/$name"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  local start=$SECONDS
  "$build/fuzz/${name}_fuzzer" "${dict[@]}" -max_total_time="$seconds" -timeout="$timeout" \
    -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" "${seeds[@]}" >"$log" 2>&1
  local status=$?
  local runs speed verdict="ok"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  [ $status -eq 0 ] || verdict="FAILED (see $log and $artifacts)"
  # One write per line, so that lines of targets ending together do not mix.
  printf 'fuzz %-14s %4d s, %9s inputs, %6s exec/s, %s\n' "$name" $((SECONDS - start)) \
    "${runs:-0}" "${speed:-0}" "$verdict"
  return $status
}

echo "fuzz: ${#targets[@]} targets, $seconds s each, $jobs at a time"
failed=0
running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_target "$name" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
