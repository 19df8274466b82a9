#!/usr/bin/env bash
# Starts the viewer on a fax (default: the bundled sample). The viewer keeps its program
# folder (Fax, Data, Data/faxaccum) in build/run so trying it out leaves the sources alone.
set -euo pipefail
cd "$(dirname "$0")/.."
FAX=$(realpath "${1:-resources/samples/sample.dcx}")
RUNDIR=build/run
mkdir -p "$RUNDIR"
cp -n resources/samples/sample.dcx resources/samples/deskof.pcx "$RUNDIR"/ 2>/dev/null || true
cd "$RUNDIR"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting the viewer under xvfb-run." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ../src/viewer/tarvex "$FAX"
fi
exec ../src/viewer/tarvex "$FAX"
