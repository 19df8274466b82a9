#!/usr/bin/env bash
# Export of a 20-page dense text fax to TIFF and PDF: tarvex-cli export against
# GraphicsMagick writing the Group 3 TIFF followed by libtiff's tiff2pdf on it.
# Whole-process wall time (hyperfine, and /usr/bin/time in the same run), peak memory
# (/usr/bin/time %M; for the peer the larger of its two processes) and the ratios
# ours / theirs, all from one run on one machine. A second fax of 20 typed-letter pages
# (the bundled sample's pages) shows the same on less noisy pages.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
GEN=$BUILD/bench/make_dense_fax
SAMPLE=resources/samples/sample.dcx
for tool in gm tiff2pdf tiffinfo qpdf hyperfine python3 cmp /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "compare-export: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] && [ -x "$GEN" ] || { echo "compare-export: build tarvex-cli and make_dense_fax first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

compare() {  # name fax
  local name=$1 fax=$2
  local ours="$CLI export $fax $work/ours.tif $work/ours.pdf"
  local theirs="sh -c 'gm convert $fax -compress Fax $work/gm.tif && tiff2pdf -o $work/gm.pdf $work/gm.tif'"

  # GraphicsMagick reads our DCX itself: its first page must be our first page.
  [ "$(gm identify "$fax" | wc -l)" -eq 20 ] || { echo "compare-export: gm does not see 20 pages"; exit 1; }
  gm convert "$fax[0]" "$work/gm1.pbm"
  "$CLI" pbm "$fax" 1 "$work/ours1.pbm"
  gm convert "$work/gm1.pbm" "$work/a.pgm"; gm convert "$work/ours1.pbm" "$work/b.pgm"
  cmp -s "$work/a.pgm" "$work/b.pgm" || { echo "compare-export: gm decodes the fax differently"; exit 1; }

  # Both sides must really have written a readable TIFF and PDF of 20 pages.
  eval "$ours" >/dev/null
  eval "$theirs"
  for f in ours gm; do
    [ "$(tiffinfo "$work/$f.tif" 2>/dev/null | grep -c 'Image Width: 1728')" -eq 20 ] ||
      { echo "compare-export: $f.tif does not hold 20 pages"; exit 1; }
    qpdf --check "$work/$f.pdf" >/dev/null || { echo "compare-export: $f.pdf fails qpdf --check"; exit 1; }
  done

  # Both sides write new files; ours also replaces both files of a former export, which
  # it first syncs to the disk (the peer overwrites in place and syncs nothing).
  echo "== $name: $(stat -c %s "$fax") bytes, 20 pages of 1728 x 2200"
  hyperfine -N --style basic --warmup 2 --runs 10 --export-json "$work/times.json" \
    --prepare "rm -f $work/ours.tif $work/ours.pdf" -n "tarvex-cli export" "$ours" \
    --prepare "true" -n "tarvex-cli export, replacing both files" "$ours" \
    --prepare "rm -f $work/gm.tif $work/gm.pdf" -n "gm convert + tiff2pdf" "$theirs" | grep -E "Benchmark|Time"

  # One run each under /usr/bin/time: wall seconds and peak resident KiB.
  local t_ours t_peer
  t_ours=$(/usr/bin/time -f "%e %M" $ours 2>&1 >/dev/null | tail -1)
  t_peer=$(/usr/bin/time -f "%e %M" sh -c "gm convert $fax -compress Fax $work/gm.tif && tiff2pdf -o $work/gm.pdf $work/gm.tif" 2>&1 >/dev/null | tail -1)

  python3 - "$work/times.json" "$t_ours" "$t_peer" "$name" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
ours, peer = r["tarvex-cli export"]["mean"], r["gm convert + tiff2pdf"]["mean"]
replacing = r["tarvex-cli export, replacing both files"]["mean"]
eo, mo = sys.argv[2].split()
ep, mp = sys.argv[3].split()
print(f"{sys.argv[4]}: wall time (hyperfine mean) tarvex-cli {ours*1000:.1f} ms ({ours*1000/20:.2f} ms a page, "
      f"target <= 4), peer {peer*1000:.1f} ms, ratio {ours/peer:.3f} (target <= 0.1)")
print(f"{sys.argv[4]}: replacing both files tarvex-cli {replacing*1000:.1f} ms ({replacing*1000/20:.2f} ms a page), "
      f"ratio {replacing/peer:.3f}")
print(f"{sys.argv[4]}: /usr/bin/time wall {eo} s vs {ep} s, ratio {float(eo)/max(float(ep),1e-9):.3f}")
print(f"{sys.argv[4]}: peak memory tarvex-cli {mo} KiB, peer {mp} KiB, ratio {int(mo)/int(mp):.4f} (target <= 0.05)")
PY
}

"$GEN" "$work/dense20.dcx" 20
compare "dense text" "$work/dense20.dcx"

# 20 letter pages: the sample's pages repeated, through tarvex-cli's own tools.
if [ -f "$SAMPLE" ] && mkdir -p "$work/pages" && "$CLI" breakup "$SAMPLE" "$work/pages" p >/dev/null 2>&1; then
  pages=()
  while [ "${#pages[@]}" -lt 20 ]; do for p in "$work"/pages/*.pcx; do pages+=("$p"); done; done
  "$CLI" build "$work/letters20.dcx" "${pages[@]:0:20}" >/dev/null
  compare "typed letters" "$work/letters20.dcx"
fi
