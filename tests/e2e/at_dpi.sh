#!/usr/bin/env bash
# Runs a test program with the display at a DPI, in a Wine prefix of its own:
# the run's prefix copied (its files linked, its registry copied) with
# LogPixels set, under a Wine server of its own, so that the tests running
# beside it keep the run's prefix and its server as they were.
#   at_dpi.sh DPI TEST_PROGRAM [ARGUMENTS...]
set -u
dpi=$1 program=$2
shift 2
base=${WINEPREFIX:?no Wine prefix}
prefix="$(dirname "$program")/prefix-at-$dpi"
rm -rf "$prefix"
cp -al "$base" "$prefix" || exit 1
for reg in "$base"/*.reg; do cp --remove-destination "$reg" "$prefix/" || exit 1; done
export WINEPREFIX=$prefix
finish() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$prefix"
}
trap finish EXIT
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
# The DPI is read when the prefix's first program starts.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
# Wine's services live as long as the server: started by the test program
# they would hold the test's output open, so they start here, and the
# program's output goes through a file.
"$WINE" wineboot >/dev/null 2>&1 </dev/null
out=$(mktemp)
TAVLIN_SCALE_DPI=$dpi "$WINE" "$program" "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
exit $status
