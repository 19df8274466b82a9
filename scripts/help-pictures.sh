#!/usr/bin/env bash
# Takes the pictures of the help page from the real programs: a 1,024 x 768 desktop under
# xvfb-run with openbox, the viewer on the sample fax and then the installer, their dialogs
# opened with the keyboard the way a user does. Writes resources/help/pictures/*.png.
# The paths in the pictures are those of a neutral home, /home/user: the programs run in a
# mount namespace of their own (unshare) with an empty /home, whatever the machine's.
#   scripts/help-pictures.sh [BUILD_DIR]      (VANTOREL_XVFB_NUM picks the display number)
set -euo pipefail
if [ "${VANTOREL_NEUTRAL_HOME:-}" != 1 ]; then
  exec env VANTOREL_NEUTRAL_HOME=1 unshare --user --map-root-user --mount "$(realpath "$0")" "$@"
fi
mount -t tmpfs -o mode=755 tmpfs /home
USERHOME=/home/user
PROGRAM=$USERHOME/Tarvex
cd "$(dirname "$0")/.."
BUILD=${1:-build}
OUT=resources/help/pictures
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config/Quorvane/Applications" "$PROGRAM/Fax" "$WORK/data" "$WORK/runtime" "$OUT"
chmod 700 "$WORK/runtime"
cp resources/samples/sample.dcx resources/samples/deskof.pcx "$PROGRAM/Fax/"
cat > "$WORK/config/Quorvane/Applications/Tarvex.conf" <<CONF
[Configure]
ThisProgramDir=$PROGRAM
OpenMax=0
WinX=40
WinY=30
WinCX=940
WinCY=730
InstallingTheProgram=0
PrintFaxPrnDrv="Office,HP LaserJet 4250 Postscript,ipp://printserver.local/printers/Office"
PaintProgram=
CONF
# The installer gets settings of its own, so it finds no viewer and proposes ~/Tarvex.
mkdir -p "$USERHOME/Downloads" "$WORK/installer/config" "$WORK/installer/data"

cat > "$WORK/session.sh" <<'SESSION'
set -euo pipefail
VIEWER=$1 WORK=$2 OUT=$3 INSTALLER=$4 PROGRAM=$5
openbox >/dev/null 2>&1 &
sleep 1
"$VIEWER" "$PROGRAM/Fax/sample.dcx" >/dev/null 2>&1 &
viewer=$!
sleep 4

# The active window (or the window whose title is exactly $2) with its frame, cut out of
# the screen.
shoot() {
  local id geo
  if [ -n "${2:-}" ]; then id=$(xdotool search --name "^$2\$" | head -1); else id=$(xdotool getactivewindow); fi
  # The client's place, and the frame's left border and title bar around it.
  geo=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Relative upper-left X/{bx=$NF} /Relative upper-left Y/{by=$NF} /Width:/{w=$NF} /Height:/{h=$NF}
        END{printf "%dx%d+%d+%d", w+2*bx, h+by+bx, x-bx, y-by}')
  import -window root -crop "$geo" +repage "$OUT/$1"
  echo "took $1 ($geo)"
}
key() { xdotool key --clearmodifiers "$@"; sleep 1.2; }

shoot main_window.png
key alt+e b                          # Edit > dcx to pcx BreakUp...
xdotool type --delay 80 page; sleep 0.5
shoot breakup.png
key Return                           # BreakUp: the pages go to Data/
sleep 2
key alt+e f                          # Edit > Build Fax from pcx file(s)...
key alt+d                            # Add All >>
shoot build_fax.png
key Escape
key alt+t c                          # Tools > Configure
shoot configure.png
key alt+v                            # Select Program to View/Edit Bitmap Files...
shoot paint_program.png
key Escape
key Escape
key ctrl+p                           # File > Print...
shoot print_fax.png
key Escape
# Zoom/Edit on a desktop without a paint program: the dialog, and the message that says so.
editor=
for e in kolourpaint pinta mtpaint gimp; do command -v "$e" >/dev/null && editor=$e; done
if [ -z "$editor" ]; then
  key alt+e z                        # Edit > Zoom/Edit Fax...
  sleep 2
  # The message goes below the dialog, so both can be seen.
  xdotool search --name '^Vantorel Zoom/Edit Fax$' windowmove 260 510
  sleep 0.5
  shoot zoom_edit.png 'Zoom/Edit Fax'
  shoot zoom_edit_no_editor.png
  key Return
else
  echo "$editor is installed: the Zoom/Edit pictures are kept as they are"
fi
key ctrl+q                           # File > Exit Vantorel
wait "$viewer" || true

# The installer, started from Downloads: past its terms to the folder dialog, then Exit.
rm -rf "$PROGRAM"
(cd "$HOME/Downloads" && XDG_CONFIG_HOME=$WORK/installer/config XDG_DATA_HOME=$WORK/installer/data \
  exec "$INSTALLER" >/dev/null 2>&1) &
installer=$!
sleep 4
key Return                           # the terms of use: OK
shoot install_folder.png
key alt+e                            # Exit
key Return                           # "Conditions Prevented Proper Installation."
sleep 1
kill "$installer" 2>/dev/null || true
SESSION

export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/runtime" HOME="$USERHOME"
SERVER=(-a)
[ -n "${VANTOREL_XVFB_NUM:-}" ] && SERVER=(-n "$VANTOREL_XVFB_NUM")
xvfb-run "${SERVER[@]}" -s "-screen 0 1024x768x24" bash "$WORK/session.sh" "$(realpath "$BUILD/src/viewer/tarvex")" "$WORK" "$(realpath "$OUT")" \
  "$(realpath "$BUILD/src/installer/tarvexinst")" "$PROGRAM"
# Smaller files for the page: 64-colour palettes are plenty for dialogs and a grey fax.
for f in "$OUT"/*.png; do convert "$f" -colors 64 -strip "PNG8:$f"; done
ls -l "$OUT"
