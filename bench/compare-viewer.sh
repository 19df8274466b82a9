#!/usr/bin/env bash
# The page display without a window: tarvex-cli render (decode, area-average to the
# 1,024-pixel Default Size, grey PNG) against GraphicsMagick doing the same reduction.
# Whole-process wall time (hyperfine) and the ratio ours / theirs, then peak memory
# (/usr/bin/time) on the 88,000-line long page; all from one run on one machine.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
GEN=$BUILD/bench/make_dense_fax
for tool in gm hyperfine python3 /usr/bin/time pngtopnm; do
  command -v "$tool" >/dev/null || { echo "compare-viewer: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] && [ -x "$GEN" ] || { echo "compare-viewer: build tarvex-cli and make_dense_fax first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$GEN" "$work/dense1.dcx" 1
"$GEN" "$work/dense40.dcx" 40
"$CLI" longfax "$work/dense40.dcx" "$work/long.dcx" >/dev/null

ours="$CLI render $work/dense1.dcx 1 $work/ours.png"
theirs="gm convert $work/dense1.dcx[0] -resize 1024x -colorspace gray $work/gm.png"
# Both sides must really have written a 1,024-pixel-wide picture.
$ours >/dev/null
$theirs
for png in ours gm; do
  [ "$(pngtopnm "$work/$png.png" | head -c 64 | sed -n 2p | cut -d' ' -f1)" = 1024 ] ||
    { echo "compare-viewer: $png.png is not 1024 pixels wide"; exit 1; }
done

echo "input: one dense 1728 x 2200 page, $(stat -c %s "$work/dense1.dcx") bytes; long page: $("$CLI" info "$work/long.dcx" | sed -n 3p)"
hyperfine -N --style basic --warmup 3 --runs 30 --export-json "$work/dense.json" \
  -n "tarvex-cli render" "$ours" -n "gm convert -resize" "$theirs"

long_ours="$CLI render $work/long.dcx 1 $work/long_ours.png"
long_gm="gm convert $work/long.dcx[0] -resize 1024x -colorspace gray $work/long_gm.png"
hyperfine -N --style basic --warmup 1 --runs 5 --export-json "$work/long.json" \
  -n "tarvex-cli render long" "$long_ours" -n "gm convert -resize long" "$long_gm"
mem_ours=$(/usr/bin/time -f %M $long_ours 2>&1 >/dev/null | tail -1)
mem_gm=$(/usr/bin/time -f %M $long_gm 2>&1 >/dev/null | tail -1)
mem_dense=$(/usr/bin/time -f %M $ours 2>&1 >/dev/null | tail -1)

python3 - "$work/dense.json" "$work/long.json" "$mem_ours" "$mem_gm" "$mem_dense" <<'PY'
import json, sys
def load(p):
    return {x["command"]: x["mean"] for x in json.load(open(p))["results"]}
d, l = load(sys.argv[1]), load(sys.argv[2])
ours, gm = d["tarvex-cli render"], d["gm convert -resize"]
print(f"dense page at Default Size: tarvex-cli {ours*1000:.2f} ms, gm {gm*1000:.2f} ms, ratio {ours/gm:.3f}")
lo, lg = l["tarvex-cli render long"], l["gm convert -resize long"]
print(f"88,000-line page: tarvex-cli {lo*1000:.1f} ms (target <= 500 incl. PNG), gm {lg*1000:.1f} ms, ratio {lo/lg:.3f}")
print(f"peak memory, long page: tarvex-cli {int(sys.argv[3])/1024:.1f} MiB (target <= 150), gm {int(sys.argv[4])/1024:.1f} MiB; "
      f"dense page: tarvex-cli {int(sys.argv[5])/1024:.1f} MiB")
PY
