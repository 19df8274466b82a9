#!/usr/bin/env bash
# Builds the Debian package into $2 and unpacks it into $2/root, once for all package tests.
set -euo pipefail
build=$1 out=$2
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb)
dpkg-deb -x "$deb" "$out/root"
