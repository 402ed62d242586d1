#!/usr/bin/env bash
# Runs every libFuzzer target of a build for FUZZ_SECONDS each (default 60), one after the
# other, and prints one line per target with its time and executions per second.
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

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for binary in "$build"/fuzz/*_fuzzer; do
    [ -x "$binary" ] && targets+=("$(basename "$binary" _fuzzer)")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build/fuzz" >&2; exit 1; }

failed=0
for name in "${targets[@]}"; do
  work="$build/work/$name" artifacts="$build/artifacts/$name" log="$build/logs/$name.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  dict=()
  [ -f "$here/dict/$name.dict" ] && dict=("-dict=$here/dict/$name.dict")
  seeds=()
  for dir in "$here/corpus/$name" "$here/regressions/$name"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  start=$SECONDS
  "$build/fuzz/${name}_fuzzer" "${dict[@]}" -max_total_time="$seconds" -timeout="$timeout" \
    -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" "${seeds[@]}" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ $status -eq 0 ]; then
    verdict="ok"
  else
    verdict="FAILED (see $log and $artifacts)"
    failed=1
  fi
  echo "fuzz $name: $((SECONDS - start)) s, ${runs:-0} inputs, ${speed:-0} exec/s, $verdict"
done
exit $failed
