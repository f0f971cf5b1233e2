#!/usr/bin/env bash
# Measures tolvane-batch run on one machine: designs exported per minute at 1, 2 and 4 jobs,
# on a mix of 8 small designs (the sample, 86 element folders each) and 8 generated designs of
# 10,000 elements. Each count of jobs runs the whole mix into a fresh output root, ROUNDS times
# (default 3); the median is printed. The figures are in docs/batch.md.
# Usage: scripts/batch-rate.sh [BUILD_DIR] [ROUNDS]; TMPDIR chooses the file system written to.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath -m "${1:-build}")"
rounds="${2:-3}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
list="$work/list.txt"
: >"$list"
for n in $(seq 1 8); do
  mkdir -p "$work/designs/small-$n" "$work/designs/large-$n"
  cp samples/Site.dgn samples/Walls.dgn "$work/designs/small-$n/"
  "$build/tolvane-gendesign" "$work/designs/large-$n/Plan.dgn" 10000 --seed "$n"
  printf '%s\n%s\n' "$work/designs/small-$n/Site.dgn" "$work/designs/large-$n/Plan.dgn" >>"$list"
done
count=$(wc -l <"$list")
echo "jobs  designs/min (median of $rounds)  each round, s"
for jobs in 1 2 4; do
  times=()
  for _ in $(seq "$rounds"); do
    rm -rf "$work/out"
    start=$(date +%s.%N)
    "$build/tolvane-batch" run "$list" --out "$work/out" --jobs "$jobs" >/dev/null 2>&1 ||
      { echo "batch-rate: the batch failed" >&2; exit 1; }
    times+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p")
  printf '%4d  %8.1f                      %s\n' "$jobs" \
    "$(awk -v n="$count" -v t="$median" 'BEGIN { print n * 60 / t }')" "${times[*]}"
done
