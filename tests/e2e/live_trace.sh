#!/usr/bin/env bash
# The real program on the real engine: a virtual serial device streams a constant level, the
# pane must show it as a horizontal trace where the value maps, and "Fin" ends the process cleanly.
set -euo pipefail
source "$(dirname "$0")/x11.sh"
e2e_begin "$0" "$@"

# Level 0x55 = 85 (off the grid lines, which lie above the trace): in the signed view
# y = 5040 - (85+130)/260*4800 = 1070.77 twips = row 71.4.
head -c 4096 /dev/zero | tr '\0' 'U' >"$work/level.bin"
start_device --baud 115200 --wave file --file "$work/level.bin"
start_program "0,$work/ttyV0,115200,なし,8 ビット,1 ビット,なし"
sleep 2

grab_pane "$work/pane.png"
read -r count minx maxx miny maxy < <(colour_extent "$work/pane.png" "#FF0000")
echo "trace pixels: $count, x $minx..$maxx, y $miny..$maxy"
[ "$count" -ge 400 ] || { echo "FAIL: no trace on the pane"; exit 1; }
[ "$miny" -ge 69 ] && [ "$maxy" -le 74 ] || { echo "FAIL: trace not at the level's row"; exit 1; }
[ "$minx" -le 50 ] && [ "$maxx" -ge 566 ] || { echo "FAIL: trace does not span the X axis"; exit 1; }

finish_program
saved_first_line | grep -q "^0,$work/ttyV0,115200," || { echo "FAIL: settings not written"; exit 1; }
echo "live trace end to end: ok"
