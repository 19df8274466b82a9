#!/usr/bin/env bash
# Zoom/Edit's rebuild on the 20-page dense fax: tarvex-cli replace of page 10 by an edited
# page (written beside the fax, flushed, renamed over it), whole process, against a plain
# `cp` of the same fax followed by `sync` of it (the least any safe rewrite costs), and
# tobmp / frombmp of one page against GraphicsMagick's BMP and PCX conversions of it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
GEN=$BUILD/bench/make_dense_fax
for tool in gm hyperfine python3; do
  command -v "$tool" >/dev/null || { echo "compare-zoomedit: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] && [ -x "$GEN" ] || { echo "compare-zoomedit: build tarvex-cli and make_dense_fax first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$GEN" "$work/dense20.dcx" 20
cp "$work/dense20.dcx" "$work/fax.dcx"
"$CLI" tobmp "$work/dense20.dcx" 10 "$work/page.bmp"
"$CLI" frombmp "$work/page.bmp" "$work/page.pcx"
gm convert "$work/page.bmp" "$work/gm.pcx"
cmp -s "$work/dense20.dcx" "$work/fax.dcx"

echo "input: $(stat -c %s "$work/dense20.dcx") bytes, 20 pages of 1728 x 2200"
hyperfine -N --style basic --warmup 3 --runs 30 --export-json "$work/times.json" \
  --prepare "cp $work/dense20.dcx $work/fax.dcx" -n "tarvex-cli replace" "$CLI replace $work/fax.dcx 10 $work/page.pcx" \
  --prepare "rm -f $work/copy.dcx" -n "cp + sync" "sh -c 'cp $work/dense20.dcx $work/copy.dcx && sync $work/copy.dcx'" \
  --prepare "rm -f $work/out.bmp" -n "tarvex-cli tobmp" "$CLI tobmp $work/dense20.dcx 10 $work/out.bmp" \
  --prepare "rm -f $work/out.bmp" -n "gm convert pcx to bmp" "gm convert $work/page.pcx $work/out.bmp" \
  --prepare "rm -f $work/out.pcx" -n "tarvex-cli frombmp" "$CLI frombmp $work/page.bmp $work/out.pcx" \
  --prepare "rm -f $work/out.pcx" -n "gm convert bmp to pcx" "gm convert $work/page.bmp $work/out.pcx"

python3 - "$work/times.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] * 1000 for x in json.load(open(sys.argv[1]))["results"]}
print(f"replace page 10 of 20: tarvex-cli {r['tarvex-cli replace']:.2f} ms (target <= 20), "
      f"cp + sync {r['cp + sync']:.2f} ms")
print(f"page to bmp: tarvex-cli {r['tarvex-cli tobmp']:.2f} ms, gm {r['gm convert pcx to bmp']:.2f} ms, "
      f"ratio {r['tarvex-cli tobmp'] / r['gm convert pcx to bmp']:.3f}")
print(f"bmp to page: tarvex-cli {r['tarvex-cli frombmp']:.2f} ms, gm {r['gm convert bmp to pcx']:.2f} ms, "
      f"ratio {r['tarvex-cli frombmp'] / r['gm convert bmp to pcx']:.3f}")
PY
