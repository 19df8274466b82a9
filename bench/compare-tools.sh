#!/usr/bin/env bash
# BreakUp of a 20-page dense fax: tarvex-cli breakup against GraphicsMagick splitting
# the same DCX into PCX pages. Whole-process wall time (hyperfine), peak memory
# (/usr/bin/time) and the ratio ours / theirs, all from one run on one machine.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
GEN=$BUILD/bench/make_dense_fax
for tool in gm hyperfine python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "compare-tools: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] && [ -x "$GEN" ] || { echo "compare-tools: build tarvex-cli and make_dense_fax first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fax=$work/dense20.dcx
"$GEN" "$fax" 20
mkdir -p "$work/ours" "$work/gm"
ours="$CLI breakup $fax $work/ours page"
theirs="gm convert $fax +adjoin $work/gm/out%02d.pcx"

# Both sides must really have split the fax.
$ours >/dev/null
$theirs
[ "$(ls "$work/ours" | wc -l)" -eq 20 ] && [ "$(ls "$work/gm" | wc -l)" -eq 20 ] ||
  { echo "compare-tools: a tool did not write 20 pages"; exit 1; }

echo "input: $(stat -c %s "$fax") bytes, 20 pages of 1728 x 2200"
hyperfine -N --style basic --warmup 3 --runs 20 --export-json "$work/times.json" \
  --prepare "find $work/ours -type f -delete" -n "tarvex-cli breakup" "$ours" \
  --prepare "find $work/gm -type f -delete" -n "gm convert +adjoin" "$theirs"

rm -f "$work"/ours/*.pcx "$work"/gm/*.pcx
mem_ours=$(/usr/bin/time -f %M $ours 2>&1 >/dev/null | tail -1)
mem_gm=$(/usr/bin/time -f %M $theirs 2>&1 >/dev/null | tail -1)

python3 - "$work/times.json" "$mem_ours" "$mem_gm" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
ours, gm = r["tarvex-cli breakup"]["mean"], r["gm convert +adjoin"]["mean"]
print(f"breakup 20 pages: tarvex-cli {ours*1000:.2f} ms, gm {gm*1000:.2f} ms, "
      f"ratio {ours/gm:.4f} (target <= 0.05)")
print(f"peak memory: tarvex-cli {sys.argv[2]} KiB, gm {sys.argv[3]} KiB")
PY
