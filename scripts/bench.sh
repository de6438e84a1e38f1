#!/usr/bin/env bash
# Runs every benchmark program once and prints its figures.
set -euo pipefail
build=${1:-build/default}
shopt -s nullglob
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe" --benchmark_counters_tabular=true
done
