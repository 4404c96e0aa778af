#!/bin/sh
# Builds VitascanCmd.exe and writes a report of this machine, run under Wine, to
# report.vitascan at the top of the checkout (or to the path given as the first argument),
# and checks it against the report's schema.
set -e
cd "$(dirname "$0")/.."
scripts/build.sh --target VitascanCmd
cmake --build --preset mingw --target VitascanViewer
out="$(realpath -m "${1:-report.vitascan}")"
export VITASCAN_BUILD_DIR="$PWD/build/mingw"
cmake/wine-server.sh start
status=0
cmake/wine-run.sh build/mingw/bin/VitascanCmd.exe "/out:Z:$(printf '%s' "$out" | tr / '\\')" || status=$?
cmake/wine-server.sh stop
[ "$status" -eq 0 ] || exit "$status"
if [ ! -s "$out" ]; then
  echo "No report was written to $out" >&2
  exit 1
fi
# A report that does not match its schema is a fault of the program: say so, keep the report.
# (xmllint says "validates" on standard error too: show its words only on a failure.)
if ! errors="$(xmllint --noout --relaxng docs/vitascan.rng "$out" 2>&1)"; then
  printf '%s\n' "$errors" >&2
  echo "The report is at $out, but it does not match docs/vitascan.rng" >&2
  exit 1
fi
echo "The report is at $out"
echo "To read it, open $PWD/build/mingw/bin/VitascanViewer.html in a browser and drop the report on it"
