#!/bin/sh
# Runs a program on the xcb platform against a private Xvfb server whose resources ask for
# DPI dots per inch (Xft.dpi, as a desktop set for large fonts does), then stops the server
# by its process id.
#
#   xvfb.sh DPI PROGRAM [ARGUMENTS...]
set -eu
dpi=$1
shift
. "$(dirname "$0")/scratch.sh"
scratch_begin spxvfb

Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
child=$!
tries=0
until [ -s "$work/display" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 "$child" 2>/dev/null; then
        echo "xvfb.sh: Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
echo "Xft.dpi: $dpi" | xrdb -merge
QT_QPA_PLATFORM=xcb "$@"
