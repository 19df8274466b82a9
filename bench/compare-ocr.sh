#!/usr/bin/env bash
# Text recognition, measured in one run of this script on one machine:
# - recognition time: tarvex-cli text on each page of the bundled faxes against the
#   tesseract command on the same page image at the same resolution, both on one thread
#   (median of REPEAT runs; wall and CPU time, model loading included on both sides);
# - export --to-dir --ocr with --jobs 2 against --jobs 1 (median of REPEAT runs), and the
#   peak memory of one fax's export with the text layer (GNU time's %M of export --ocr; a
#   batch worker does the same work in a process forked from the batch);
# - agreement: the words pdftotext reads from our PDF (content order, -raw, and poppler's
#   reading order) against the words of the tesseract command, in order;
# - boxes: every word box of pdftotext -bbox has ink of the page under it;
# - size: each page exported alone, with the layer against without.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
CLI=$BUILD/src/cli/tarvex-cli
REPEAT=${REPEAT:-3}
for tool in tesseract pdftotext python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "compare-ocr: $tool not found, skipped"; exit 0; }
done
[ -x "$CLI" ] || { echo "compare-ocr: build tarvex-cli first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OMP_THREAD_LIMIT=1  # the tesseract command on one thread; ours always runs on one

# The four typed pages of the bundled faxes, one fax each.
mkdir -p "$work/pages"
"$CLI" --yes breakup resources/samples/sample.dcx "$work/pages" >/dev/null
cp resources/samples/deskof.pcx "$work/pages/"
mapfile -t pages < <(find "$work/pages" -name '*.pcx' | sort)

measure() {  # out-file command...: appends "wall cpu maxrss_kb" of one run
  local out=$1
  shift
  /usr/bin/time -o "$work/t" -f "%e %U %S %M" "$@" >"$work/stdout" 2>"$work/err" ||
    { echo "compare-ocr: $* failed:"; cat "$work/err"; exit 1; }
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/t" >>"$out"
}

echo "== ${#pages[@]} pages, $(getconf _NPROCESSORS_ONLN) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
for p in "${pages[@]}"; do
  n=$(basename "$p" .pcx)
  "$CLI" pbm "$p" 1 "$work/$n.pbm" >/dev/null
  # Ours takes the resolution from the page's header (200 dpi for these pages); the
  # tesseract command is told the same.
  for _ in $(seq "$REPEAT"); do
    measure "$work/$n.ours" "$CLI" text "$p"
    cp "$work/stdout" "$work/$n.ours.txt"
    measure "$work/$n.theirs" tesseract "$work/$n.pbm" - --dpi 200
    cp "$work/stdout" "$work/$n.theirs.txt"
  done
  measure "$work/export" "$CLI" export "$p" "$work/$n.tif" "$work/$n.pdf" --ocr
  "$CLI" export "$p" "$work/$n.plain.tif" "$work/$n.plain.pdf" >/dev/null
  pdftotext -raw "$work/$n.pdf" "$work/$n.raw.txt"
  pdftotext "$work/$n.pdf" "$work/$n.read.txt"
  pdftotext -bbox "$work/$n.pdf" "$work/$n.bbox.html"
done

# The batch: the four pages' faxes, COPIES times over.
COPIES=${COPIES:-3}
mkdir -p "$work/in"
for i in $(seq "$COPIES"); do for p in "${pages[@]}"; do cp "$p" "$work/in/$i-$(basename "$p")"; done; done
for _ in $(seq "$REPEAT"); do
  for jobs in 1 2; do
    rm -rf "$work/out$jobs"
    measure "$work/batch$jobs" "$CLI" export --to-dir "$work/out$jobs" --ocr --jobs "$jobs" "$work/in"
  done
done
cmp -s "$work/out1/1-deskof.tif" "$work/out2/1-deskof.tif" || { echo "compare-ocr: --jobs changes the TIFF"; exit 1; }
for i in $(seq "$COPIES"); do
  pdftotext -raw "$work/out1/$i-deskof.pdf" - | cmp -s - "$work/deskof.raw.txt" ||
    { echo "compare-ocr: the batch reads other words than the single export"; exit 1; }
done

python3 - "$work" "${pages[@]}" <<'PY'
import difflib, os, re, statistics, sys
work, pages = sys.argv[1], [os.path.basename(p)[:-4] for p in sys.argv[2:]]

def runs(name):
    rows = [list(map(float, l.split())) for l in open(os.path.join(work, name))]
    return [statistics.median(col) for col in zip(*rows)]

def words(name):
    return open(os.path.join(work, name), encoding="utf-8").read().split()

def pbm(name):
    data = open(os.path.join(work, name), "rb").read()
    head = re.match(rb"P4\s+(\d+)\s+(\d+)\s", data)
    w, h = int(head[1]), int(head[2])
    return w, h, data[head.end():]

def agreement(ours, theirs):
    matched = sum(b.size for b in difflib.SequenceMatcher(None, ours, theirs, autojunk=False).get_matching_blocks())
    return matched / max(len(ours), len(theirs), 1)

print("recognition, median of runs (wall s / cpu s / peak MB), ours = tarvex-cli text, theirs = tesseract:")
ratios = []
for n in pages:
    o, t = runs(n + ".ours"), runs(n + ".theirs")
    ratios.append(o[0] / t[0])
    print(f"  {n}: ours {o[0]:.2f} / {o[1]:.2f} / {o[2]/1024:.0f}, theirs {t[0]:.2f} / {t[1]:.2f} / {t[2]/1024:.0f},"
          f" wall ratio {o[0]/t[0]:.2f}, cpu ratio {o[1]/t[1]:.2f}")
print(f"  median wall ratio ours/theirs {statistics.median(ratios):.2f} (target <= 1.00)")

b1, b2 = runs("batch1"), runs("batch2")
print(f"export --to-dir --ocr: --jobs 1 {b1[0]:.2f} s, --jobs 2 {b2[0]:.2f} s, speed-up {b1[0]/b2[0]:.2f} (target >= 1.8)")
peak = max(float(l.split()[2]) for l in open(os.path.join(work, "export")))
print(f"peak memory of a job (export --ocr of one fax): {peak/1024:.0f} MB, of the batch's own process"
      f" {max(b1[2], b2[2])/1024:.0f} MB (target <= 300)")

print("words of our PDF against the tesseract command's, in order:")
for n in pages:
    theirs = words(n + ".theirs.txt")
    raw, read = agreement(words(n + ".raw.txt"), theirs), agreement(words(n + ".read.txt"), theirs)
    same = words(n + ".ours.txt") == theirs
    print(f"  {n}: {len(theirs)} words, pdftotext -raw {100*raw:.1f}%, pdftotext {100*read:.1f}%,"
          f" tarvex-cli text {'identical' if same else 'differs'} (target >= 99%)")

print("boxes of pdftotext -bbox with ink of the page under them:")
for n in pages:
    w, h, bits = pbm(n + ".pbm")
    html = open(os.path.join(work, n + ".bbox.html"), encoding="utf-8").read()
    pw, ph = map(float, re.search(r'<page width="([\d.]+)" height="([\d.]+)"', html).groups())
    boxes = re.findall(r'xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)"', html)
    stride, inked = (w + 7) // 8, 0
    for box in boxes:
        x0, y0, x1, y1 = map(float, box)
        xs = range(round(x0 * w / pw), min(w, round(x1 * w / pw)))
        ys = range(round(y0 * h / ph), min(h, round(y1 * h / ph)))
        inked += any(bits[y * stride + x // 8] & (0x80 >> x % 8) for y in ys for x in xs)
    print(f"  {n}: {inked} of {len(boxes)} boxes over ink")

print("PDF size of a page, with the text layer against without:")
for n in pages:
    a, b = os.path.getsize(os.path.join(work, n + ".pdf")), os.path.getsize(os.path.join(work, n + ".plain.pdf"))
    print(f"  {n}: {b} -> {a} bytes, +{100*(a-b)/b:.1f}% (target <= 25%)")
PY
