#!/bin/sh
# Installs what building and testing VitascanCmd needs on Debian 12: the mingw-w64 cross
# compiler, clang with lld (the second compiler) and clang-tidy, Wine, CMake, GoogleTest's
# sources, xmllint and Python. Does nothing when all are present.
set -e
PACKAGES="g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 cmake make \
clang lld clang-tidy googletest libxml2-utils python3"

missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
