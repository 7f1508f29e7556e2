#!/usr/bin/env bash
# Runs every fuzz target of a built fuzz tree for a number of seconds each:
#   fuzz/run.sh <fuzz build folder> <seconds> [fresh]
# Each target grows a work corpus in the build folder and only reads its seeds in
# fuzz/corpus/<target>, so the committed corpus never changes. Without "fresh" the work
# corpus keeps what earlier runs found; with it, a work corpus of its own starts empty (a
# short check of the seeds and what a few seconds find) and the other one is kept. A failing input is saved in <build>/artifacts/, the whole output
# in <build>/logs/. The exit status is non-zero if any target failed.
set -uo pipefail
build=$1 seconds=$2 fresh=${3:-}
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
export TMPDIR=$build/tmp  # the targets' scratch files (a failed run leaves its own behind)
rm -rf "$TMPDIR"
mkdir -p "$build/artifacts" "$build/logs" "$TMPDIR"
rc=0
for target in generate pool charsetfile listfile; do
  work=$build/${fresh:+fresh-}corpus/$target log=$build/logs/$target.log
  [ -n "$fresh" ] && rm -rf "$work"
  mkdir -p "$work"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 -entropic_scale_per_exec_time=1 \
    -artifact_prefix="$build/artifacts/$target-" "$work" "$seeds/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    echo "fuzz $target: $runs runs in $seconds s ($speed a second), $cov, no finding"
  else
    echo "fuzz $target: FAILED (whole output in $log):"
    grep -E 'keymoor fuzz|ERROR|SUMMARY|Test unit written' "$log" || tail -n 30 "$log"
    rc=1
  fi
done
exit $rc
