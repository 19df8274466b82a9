#!/usr/bin/env bash
# Renders the program icon at the hicolor theme's sizes from tarvex.svg (run by hand after
# changing the drawing; the PNGs are kept in the repository so building needs no renderer).
set -euo pipefail
cd "$(dirname "$0")"
for s in 16 22 24 32 48 64 128 256 512; do
  gm convert -background none -density 288 tarvex.svg -resize "${s}x${s}" "PNG32:tarvex-${s}.png"
done
