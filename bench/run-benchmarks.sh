#!/usr/bin/env bash
# Runs every benchmark kernel, then every whole-program comparison with peer tools.
# All figures of one run come from the same machine at the same time.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
for b in "$BUILD"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.5
done
for c in bench/compare-*.sh; do
  [ -f "$c" ] || continue
  echo "== $(basename "$c" .sh)"
  BUILD="$BUILD" bash "$c"
done
