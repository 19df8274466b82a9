#!/usr/bin/env bash
# Printing without a printer: tarvex-cli print (the engine onto 300-dpi PBM sheets) on the
# 20-page dense fax, its peak memory, and the whole process of printing those 20 pages to a
# PDF through Qt (print_to_pdf: the viewer's print job) against GraphicsMagick turning the
# same fax into a PDF. Times from hyperfine, memory from /usr/bin/time, one run, one machine.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
GEN=$BUILD/bench/make_dense_fax
PDF=$BUILD/bench/print_to_pdf
for tool in gm hyperfine python3 /usr/bin/time pdfinfo; do
  command -v "$tool" >/dev/null || { echo "compare-print: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] && [ -x "$GEN" ] && [ -x "$PDF" ] || { echo "compare-print: build tarvex-cli, make_dense_fax and print_to_pdf first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$GEN" "$work/dense20.dcx" 20
mkdir "$work/sheets"
sheets="$CLI print $work/dense20.dcx $work/sheets --dpi 300 --printable 2400x3150 --scaling hp300 --aspect actual"
ours="$PDF $work/dense20.dcx $work/ours.pdf"
theirs="gm convert $work/dense20.dcx $work/gm.pdf"
# Every side must really have made 20 pages.
[ "$($sheets)" = "sheets 20" ] || { echo "compare-print: tarvex-cli print did not make 20 sheets"; exit 1; }
$ours >/dev/null
$theirs
for pdf in ours gm; do
  [ "$(pdfinfo "$work/$pdf.pdf" | sed -n 's/^Pages: *//p')" = 20 ] || { echo "compare-print: $pdf.pdf lacks pages"; exit 1; }
done

echo "input: 20 dense 1728 x 2200 pages, $(stat -c %s "$work/dense20.dcx") bytes"
hyperfine -N --style basic --warmup 1 --runs 5 --export-json "$work/t.json" \
  -n "tarvex-cli print (PBM sheets)" "$sheets" -n "print_to_pdf (Qt print job)" "$ours" -n "gm convert to PDF" "$theirs"
mem_sheets=$(/usr/bin/time -f %M $sheets 2>&1 >/dev/null | tail -1)
mem_pdf=$(/usr/bin/time -f %M $ours 2>&1 >/dev/null | tail -1)

python3 - "$work/t.json" "$mem_sheets" "$mem_pdf" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
cli, qt, gm = r["tarvex-cli print (PBM sheets)"], r["print_to_pdf (Qt print job)"], r["gm convert to PDF"]
print(f"20 pages: tarvex-cli print {cli*1000:.0f} ms; Qt print job to PDF {qt*1000:.0f} ms; gm {gm*1000:.0f} ms; "
      f"Qt job / gm {qt/gm:.2f}")
print(f"peak memory: tarvex-cli print {int(sys.argv[2])/1024:.1f} MiB (target <= 20); print_to_pdf {int(sys.argv[3])/1024:.1f} MiB")
PY
