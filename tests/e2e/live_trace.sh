#!/usr/bin/env bash
# The real program on the real engine: a virtual serial device streams a constant level, the
# pane must show it as a horizontal trace where the value maps, and "Fin" ends the process cleanly.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != "--inner" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" --inner "$@"
fi
# A real window on the X server, whatever the test runner set.
export QT_QPA_PLATFORM=xcb
bin=$2
vdev=$3
source "$here/x11.sh"
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

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
