#!/usr/bin/env bash
# Batch export of COPIES (default 200) copies of the 20-page dense fax: tarvex-cli export
# --to-dir with --jobs 2 against --jobs 1 (target speed-up >= 1.8 on 2 idle cores), and
# against GraphicsMagick + tiff2pdf driven by a shell loop. Wall time of single runs (the
# whole batch takes minutes), one machine, one run of this script.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
GEN=$BUILD/bench/make_dense_fax
COPIES=${COPIES:-200}
for tool in gm tiff2pdf python3; do
  command -v "$tool" >/dev/null || { echo "compare-batch-export: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] && [ -x "$GEN" ] || { echo "compare-batch-export: build tarvex-cli and make_dense_fax first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in/a" "$work/in/b"
"$GEN" "$work/dense20.dcx" 20
for i in $(seq 1 "$COPIES"); do cp "$work/dense20.dcx" "$work/in/$([ $((i % 2)) -eq 0 ] && echo a || echo b)/fax$i.dcx"; done

seconds() { python3 -c 'import time; print(time.monotonic())'; }
run() {  # label command...: prints seconds
  local t0 t1
  t0=$(seconds)
  "$@" >/dev/null 2>"$work/err" || { echo "compare-batch-export: $1 failed:"; cat "$work/err"; exit 1; }
  t1=$(seconds)
  python3 -c "print(f'{$t1 - $t0:.2f}')"
}
peer_loop() {
  find "$work/in" -name '*.dcx' | while read -r f; do
    rel=${f#"$work/in/"}
    mkdir -p "$work/gm/$(dirname "$rel")"
    gm convert "$f" -compress Fax "$work/gm/${rel%.dcx}.tif"
    tiff2pdf -o "$work/gm/${rel%.dcx}.pdf" "$work/gm/${rel%.dcx}.tif"
  done
}

echo "== $COPIES faxes of 20 dense pages ($(( COPIES * 20 )) pages), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
t1=$(run "$CLI" export --to-dir "$work/out1" --recursive --jobs 1 "$work/in")
t2=$(run "$CLI" export --to-dir "$work/out2" --recursive --jobs 2 "$work/in")
[ "$(find "$work/out2" -name '*.pdf' | wc -l)" -eq "$COPIES" ] || { echo "compare-batch-export: PDFs missing"; exit 1; }
cmp -s "$work/out1/a/fax2.tif" "$work/out2/a/fax2.tif" || { echo "compare-batch-export: --jobs changes the output"; exit 1; }
tp=$(run peer_loop)
[ "$(find "$work/gm" -name '*.pdf' | wc -l)" -eq "$COPIES" ] || { echo "compare-batch-export: peer PDFs missing"; exit 1; }
python3 - "$t1" "$t2" "$tp" "$COPIES" <<'PY'
import sys
t1, t2, tp, n = map(float, sys.argv[1:5])
print(f"batch export: --jobs 1 {t1:.2f} s, --jobs 2 {t2:.2f} s, speed-up {t1/t2:.2f} (target >= 1.8)")
print(f"batch export: gm + tiff2pdf loop {tp:.2f} s; ratio --jobs 2 / loop {t2/tp:.3f}, --jobs 1 / loop {t1/tp:.3f}")
print(f"per fax: --jobs 1 {t1/n*1000:.0f} ms, --jobs 2 {t2/n*1000:.0f} ms, loop {tp/n*1000:.0f} ms")
PY
