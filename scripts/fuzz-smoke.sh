#!/usr/bin/env bash
# Runs every fuzz target for a few seconds from its seed corpus (fuzz/corpus/<name>), so that a
# crash on a known input or a quick find fails the check. Long runs: FUZZ_SECONDS=300 make fuzz.
# The targets' own diagnostics are dropped (-close_fd_mask=2); the fuzzer's reports are kept.
set -euo pipefail
# The sanitizers keep freed blocks in quarantine (256 MB by default) to catch late uses; the
# library's heaps free large chunks whenever a target starts a new session, and a long run then
# grows past the fuzzer's memory limit without any leak. A small quarantine keeps it flat.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16}"
build=${1:-build/fuzz}
seconds=${2:-10}
shopt -s nullglob
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  seeds="fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "== $name (${seconds}s)"
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=2 -print_final_stats=0 "$work" >"$work.log" 2>&1 \
    || { tail -n 60 "$work.log"; rm -rf "$work" "$work.log"; exit 1; }
  tail -n 1 "$work.log"
  rm -rf "$work" "$work.log"
done
