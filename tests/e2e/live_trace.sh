#!/usr/bin/env bash
# The real program on the real engine: a virtual serial device streams a constant level, the
# pane must show it as a horizontal trace where the value maps, and "Fin" ends the process cleanly.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != "--inner" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" --inner "$@"
fi
shift
bin=$1
vdev=$2
source "$here/x11.sh"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cp "$bin" "$work/tessavue"
# Level 0x50 = 80: in the signed view y = 5040 - (80+130)/260*4800 = 1163.08 twips = row 77.5.
head -c 4096 /dev/zero | tr '\0' 'P' >"$work/level.bin"
"$vdev" --link "$work/ttyV0" --baud 115200 --wave file --file "$work/level.bin" >"$work/vdev.out" &
pids+=($!)
for i in $(seq 1 100); do [ -e "$work/ttyV0" ] && break; sleep 0.05; done
printf '0,%s,115200,なし,8 ビット,1 ビット,なし\r\n' "$work/ttyV0" | iconv -f UTF-8 -t CP932 >"$work/Tessavue.OVR"

"$work/tessavue" >"$work/app.out" 2>&1 &
app=$!
pids+=($app)
read -r wx wy < <(window_origin "Tessavue Scanning")
sleep 2

import -window root "$work/screen.png"
convert "$work/screen.png" -crop "588x360+$((wx + 8))+$((wy + 8))" +repage "$work/pane.png"
pixels_of_colour "$work/pane.png" "#FF0000" >"$work/red.txt"
count=$(wc -l <"$work/red.txt")
read -r minx maxx miny maxy < <(awk 'NR==1{a=$1;b=$1;c=$2;d=$2} {if($1<a)a=$1; if($1>b)b=$1; if($2<c)c=$2; if($2>d)d=$2} END{print a+0, b+0, c+0, d+0}' "$work/red.txt")
echo "trace pixels: $count, x $minx..$maxx, y $miny..$maxy"
[ "$count" -ge 400 ] || { echo "FAIL: no trace on the pane"; exit 1; }
[ "$miny" -ge 75 ] && [ "$maxy" -le 80 ] || { echo "FAIL: trace not at the level's row"; exit 1; }
[ "$minx" -le 50 ] && [ "$maxx" -ge 566 ] || { echo "FAIL: trace does not span the X axis"; exit 1; }

# "Fin", then Enter on the focused "はい" of the exit question.
click_at $((wx + 764 + 52)) $((wy + 154 + 13))
answer_box_with_enter "Tessavue"
for i in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "FAIL: the program did not end"; exit 1; fi
wait "$app" && rc=0 || rc=$?
cat "$work/app.out"
[ "$rc" -eq 0 ] || { echo "FAIL: exit status $rc"; exit 1; }
iconv -f CP932 -t UTF-8 "$work/Tessavue.OVR" | head -n 1 | grep -q "ttyV0,115200" || { echo "FAIL: settings not written"; exit 1; }
echo "live trace end to end: ok"
