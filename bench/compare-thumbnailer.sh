#!/usr/bin/env bash
# File-manager thumbnail of a dense text page at 256 px: tarvex-thumbnailer against
# GraphicsMagick's thumbnail of the same page. Whole-process wall time (hyperfine) and the
# ratio ours / theirs, one run on one machine. Target: ours <= 25 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
THUMB=$BUILD/src/thumbnailer/tarvex-thumbnailer
GEN=$BUILD/bench/make_dense_fax
for tool in gm hyperfine python3 pngtopnm; do
  command -v "$tool" >/dev/null || { echo "compare-thumbnailer: $tool not found, skipped"; exit 0; }
done
[ -x "$THUMB" ] && [ -x "$GEN" ] || { echo "compare-thumbnailer: build tarvex-thumbnailer and make_dense_fax first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$GEN" "$work/dense.dcx" 1
ours="$THUMB -s 256 $work/dense.dcx $work/ours.png"
theirs="gm convert $work/dense.dcx[0] -thumbnail 256x256 $work/gm.png"
# Both must really have written a picture of at most 256 x 256.
$ours && $theirs
for f in ours gm; do
  read -r w h < <(pngtopnm "$work/$f.png" | head -2 | tail -1)
  [ "$w" -le 256 ] && [ "$h" -le 256 ] || { echo "compare-thumbnailer: $f.png is ${w}x${h}"; exit 1; }
  echo "$f.png: ${w} x ${h}"
done
hyperfine -N --style basic --warmup 3 --runs 30 --export-json "$work/times.json" \
  -n "tarvex-thumbnailer" "$ours" -n "gm convert -thumbnail" "$theirs" | grep -E "Benchmark|Time"
python3 - "$work/times.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
ours, peer = r["tarvex-thumbnailer"]["mean"], r["gm convert -thumbnail"]["mean"]
print(f"thumbnail 256 px of a dense page: tarvex-thumbnailer {ours*1000:.1f} ms (target <= 25 ms), "
      f"gm {peer*1000:.1f} ms, ratio {ours/peer:.3f}")
PY
