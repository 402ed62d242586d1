#!/bin/sh
# Runs COMMAND with Wine ready for the Windows programs it starts.
#   with_wine.sh PREFIX COMMAND [ARGUMENT...]
# The Wine prefix PREFIX is made on first use, its start-up messages kept in PREFIX.log. Debug
# channels are off, and Gecko and Mono are not offered. One Wine server serves the whole
# command (each test is a Windows process of its own, and a server per process would start and
# stop Wine's services each time); the one started here is stopped when the command ends.
# COMMAND finds the Wine loader in $WINE.
set -eu
prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINE
if [ ! -d "$prefix" ]; then
  echo "with_wine: making the Wine prefix $prefix"
  mkdir -p "$(dirname "$prefix")"
  if ! "$WINE" wineboot --init >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -rf "$prefix"
    exit 1
  fi
fi
# A server already running for the prefix (a person's Wine session) is used and left running.
if "$wineserver" --persistent; then
  trap '"$wineserver" --kill 2>/dev/null || true' EXIT
fi
# The first program of a Wine session starts its services (device manager, menu builder), which
# outlive it and keep its standard output open: a caller reading a program's output to the end
# (CTest listing a test program's tests) would wait for them until it timed out. Started here,
# they hold /dev/null instead.
"$WINE" wineboot >/dev/null 2>&1 </dev/null
"$@"
