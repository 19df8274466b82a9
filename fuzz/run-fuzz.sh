#!/usr/bin/env bash
# Runs every fuzz target of the `fuzz` build for N seconds (default 60), each on its seed corpus,
# its kept regressions and the corpus grown by earlier runs. A finding stops that target and is
# left in build-fuzz/findings/<target>/; keep it in tests/regressions/<target>/ once fixed.
# Inputs are cut to FUZZ_MAX_LEN bytes (32768): a few pages' worth, so the big samples do
# not slow every run down.
# usage: fuzz/run-fuzz.sh [SECONDS] [TARGET...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(render check tiff_writer pdf_writer bmp_import longfax print thumbnail)
build=$root/build-fuzz
bash "$root/fuzz/make-seeds.sh" "$root/build/src/cli/tarvex-cli" "$build/seeds" >/dev/null
status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/findings/$t"
  log=$build/findings/$t.log
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len="${FUZZ_MAX_LEN:-32768}" \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
    "$build/corpus/$t" "$build/seeds/$t" "$root/tests/regressions/$t" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -o 'cov: [0-9]*' | grep -o '[0-9]*')
  ft=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -o 'ft: [0-9]*' | grep -o '[0-9]*')
  printf '%-12s exit %d  executions %s  coverage %s edges  %s features\n' "$t" "$rc" "${runs:-?}" "${cov:-?}" "${ft:-?}"
  [ $rc -eq 0 ] || { status=1; echo "  finding: see $log"; }
done
exit $status
