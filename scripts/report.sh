#!/bin/sh
# Builds VitascanCmd.exe and writes a report of this machine, run under Wine, to
# report.vitascan at the top of the checkout (or to the path given as the first argument).
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
if [ -s "$out" ]; then
  echo "The report is at $out"
  echo "To read it, open $PWD/build/mingw/bin/VitascanViewer.html in a browser and drop the report on it"
else
  echo "No report was written to $out" >&2
  exit 1
fi
