#!/usr/bin/env bash
# Fails when a program imports ddraw.dll: Wine's Direct3D renderer must be
# chosen before DirectDraw is first loaded, which an import would do at the
# program's start. Usage: no_direct_draw_import.sh OBJDUMP PROGRAM...
set -u
objdump=$1
shift
status=0
for program in "$@"; do
    imports=$("$objdump" -p "$program" | awk '/DLL Name:/ { print tolower($3) }')
    # An import table that cannot be read would pass unseen: kernel32 is in every one.
    if ! grep -qx kernel32.dll <<< "$imports"; then
        echo "$program: no import table read"
        status=1
    elif grep -qx ddraw.dll <<< "$imports"; then
        echo "$program imports ddraw.dll"
        status=1
    else
        echo "$program: ddraw.dll not imported"
    fi
done
exit $status
