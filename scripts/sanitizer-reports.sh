#!/usr/bin/env bash
# Fails when any process of the sanitizer test run (a test or a program it started) wrote an
# AddressSanitizer, LeakSanitizer or UndefinedBehaviorSanitizer report; prints the reports.
# usage: scripts/sanitizer-reports.sh FOLDER   (the folder of the runs' log_path)
set -uo pipefail
dir=${1:?folder}
shopt -s nullglob
reports=("$dir"/*)
if [ ${#reports[@]} -eq 0 ]; then
  echo "sanitizers: no reports from any process"
  exit 0
fi
for r in "${reports[@]}"; do
  echo "=== $r"
  cat "$r"
done
echo "sanitizers: ${#reports[@]} report(s), see above" >&2
exit 1
