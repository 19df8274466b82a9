#!/usr/bin/env bash
# Takes the README's screenshot: the viewer on the sample fax at Default Size on a
# 1,024 x 768 desktop, under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-docs/screenshot.png}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config/Quorvane/Applications" "$WORK/program"
cat > "$WORK/config/Quorvane/Applications/Tarvex.conf" <<CONF
[Configure]
ThisProgramDir=$WORK/program
OpenMax=0
WinX=0
WinY=0
WinCX=1024
WinCY=768
InstallingTheProgram=0
CONF
export XDG_CONFIG_HOME="$WORK/config"
FAX=$(realpath resources/samples/sample.dcx)
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
  build/src/viewer/tarvex '$FAX' &
  pid=\$!
  sleep 3
  import -window root '$OUT'
  kill \$pid"
echo "wrote $OUT"
