#!/bin/sh
# Runs one Windows program under Wine in the build's own prefix, so that tests never
# touch ~/.wine and a fresh build directory is a clean machine.
# The prefix is the folder "wine" beside this build's CMakeCache.txt.
: "${VITASCAN_BUILD_DIR:?VITASCAN_BUILD_DIR must name the build folder}"
export WINEPREFIX="${WINEPREFIX:-$VITASCAN_BUILD_DIR/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts on a machine without a display.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
