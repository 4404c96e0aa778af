#!/bin/sh
# Configures (once) and builds everything with the mingw preset. Extra arguments go to
# "cmake --build", for example "--target VitascanCmd".
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh
[ -f build/mingw/CMakeCache.txt ] || cmake --preset mingw
cmake --build --preset mingw "$@"
