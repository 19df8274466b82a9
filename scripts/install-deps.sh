#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Vantorel needs.
# Safe to run again: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git mold
  # locale sources: a test writes PDFs under a decimal-comma locale it makes with localedef
  locales
  # fuzzing: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools libgl-dev libtiff-dev zlib1g-dev
  # text recognition: the library, English and German language data, and the command the
  # benchmarks compare with
  libtesseract-dev tesseract-ocr-eng tesseract-ocr-deu tesseract-ocr
  # test and benchmark frameworks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # independent checkers and peers used by tests and benchmarks
  libtiff-tools poppler-utils qpdf netpbm graphicsmagick imagemagick time hyperfine
  # printing: the CUPS library Qt prints through, and a private scheduler for the print tests
  libcups2-dev cups-daemon cups-client
  # batch export under a scheduler: a private Slurm for the job array test; jq reads the summaries
  munge slurmctld slurmd slurm-client jq
  # running the viewer without a display, fonts for the sample generator
  xvfb xauth fonts-dejavu-core
  # a plain window manager and the tools that drive it (help pictures, desktop checks)
  openbox x11-utils xdotool
  # desktop integration checks
  desktop-file-utils shared-mime-info
  # help page checks (libxml2's HTML parser, tidy)
  libxml2-utils tidy
  # the installer's tests ask the desktop's own tools about types and default programs; Help
  # opens pages and documents through them (gio open, xdg-open)
  xdg-utils libfile-mimeinfo-perl libglib2.0-bin
  # the Debian package and its checks
  dpkg-dev file lintian appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
