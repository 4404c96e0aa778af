#!/bin/sh
# Installs what building and testing VitascanCmd needs on Debian 12: the mingw-w64 cross
# compiler, clang with lld (the second compiler) and clang-tidy, Wine, CMake, GoogleTest's
# sources, xmllint and Python; for the report viewer Node, npm, chromium and the npm
# packages pinned by package-lock.json. Does nothing when all are present.
set -e
cd "$(dirname "$0")/.."
PACKAGES="g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 cmake make \
clang lld clang-tidy googletest libxml2-utils python3 chromium"
# Node may come from elsewhere (a newer nodejs package carries npm itself).
command -v node >/dev/null 2>&1 || PACKAGES="$PACKAGES nodejs"
command -v npm >/dev/null 2>&1 || PACKAGES="$PACKAGES npm"

missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  # shellcheck disable=SC2086
  $SUDO apt-get install -y --no-install-recommends $missing
fi

# The viewer's build step and tests: exactly the versions in package-lock.json.
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund
fi
