#!/bin/sh
# start: create the prefix if needed and keep one Wine server running for the whole test
#        run (without it every program start waits for the server to time out).
# stop:  end that server.
# Output goes away: Wine's background services would otherwise hold the test runner's
# output pipe open and CTest would wait for them.
: "${VITASCAN_BUILD_DIR:?VITASCAN_BUILD_DIR must name the build folder}"
export WINEPREFIX="${WINEPREFIX:-$VITASCAN_BUILD_DIR/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
case "$1" in
  start)
    wineserver -p </dev/null >/dev/null 2>&1
    # The first program creates the prefix (some seconds) and starts Wine's services.
    if ! wine cmd /c exit </dev/null >/dev/null 2>&1; then
      echo "Wine cannot run programs in $WINEPREFIX" >&2
      exit 1
    fi
    # A new prefix's mount manager starts in the background; until it has mapped the drives,
    # GetDriveTypeW does not call C: fixed. Wait (up to 60 s) until it has.
    tries=0
    until wine reg query 'HKLM\System\MountedDevices' /v '\DosDevices\C:' </dev/null >/dev/null 2>&1; do
      tries=$((tries + 1))
      if [ "$tries" -ge 60 ]; then
        echo "Wine's mount manager did not map C: in $WINEPREFIX" >&2
        exit 1
      fi
      sleep 1
    done
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1
    exit 0
    ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
