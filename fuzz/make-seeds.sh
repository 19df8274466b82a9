#!/usr/bin/env bash
# Makes the seed corpus of every fuzz target from the bundled samples and a few made pages.
# usage: fuzz/make-seeds.sh TARVEX-CLI OUTDIR   (makes OUTDIR/<target>/ for every target)
set -euo pipefail
cli=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
out=$2
samples=$here/../resources/samples
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen
trap 'rm -rf "$work"' EXIT

# Made pages: small bitmaps of a few shapes, through the program's own bitmap import.
pbmmake -white 40 8 >"$work/white.pbm"
pbmmake -black 1728 3 >"$work/wide.pbm"
pbmmake -gray 64 20 >"$work/grey.pbm"
for p in white wide grey; do
  ppmtobmp -bpp 1 "$work/$p.pbm" >"$work/$p.bmp" 2>/dev/null
  "$cli" frombmp "$work/$p.bmp" "$work/$p.pcx" >/dev/null
done
pnmdepth 255 "$work/grey.pbm" 2>/dev/null | ppmtobmp -bpp 24 >"$work/grey24.bmp" 2>/dev/null
pnmdepth 255 "$work/grey.pbm" 2>/dev/null | ppmtobmp -bpp 8 >"$work/grey8.bmp" 2>/dev/null
"$cli" --yes build "$work/made.dcx" "$work/white.pcx" "$work/wide.pcx" "$work/grey.pcx" >/dev/null
"$cli" --yes breakup "$samples/sample.dcx" "$work" sp >/dev/null
"$cli" tobmp "$samples/deskof.pcx" 1 "$work/deskof.bmp" >/dev/null
"$cli" --yes export "$work/made.dcx" "$work/made.tif" "$work/made.pdf" >/dev/null
"$cli" --yes export "$work/sp0001.pcx" "$work/sp0001.tif" "$work/sp0001.pdf" >/dev/null

faxes=("$samples/sample.dcx" "$samples/deskof.pcx" "$work/made.dcx" "$work/white.pcx" "$work/wide.pcx"
       "$work/grey.pcx" "$work/sp0001.pcx")
for t in render check tiff_writer longfax print thumbnail pdf_writer bmp_import; do
  rm -rf "${out:?}/$t"
  mkdir -p "$out/$t"
done
for t in render check tiff_writer longfax print thumbnail; do
  cp "${faxes[@]}" "$out/$t/"
done
cp "$work/made.tif" "$work/sp0001.tif" "$out/pdf_writer/"
cp "$work"/{white,wide,grey,grey24,grey8,deskof}.bmp "$out/bmp_import/"
