#!/bin/sh
# Builds everything and runs every test (unit tests and end-to-end tests under Wine).
set -e
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --preset mingw
