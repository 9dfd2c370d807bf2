#!/usr/bin/env bash
# The real program switched by its port dialog from COM OFF to a virtual serial device and back:
# the trace appears and moves, then stops; the settings written at exit hold the port.
set -euo pipefail
source "$(dirname "$0")/x11.sh"
e2e_begin "$0" "$@"

# Opens the port dialog from "COM OFF"/"COM ON", picks source option $1 (0 COM ON, 2 COM OFF)
# and confirms with "Ｏ Ｋ".
choose_source() {
  click_in_window $((644 + 8 + 52)) $((2 + 82 + 13))
  local dx dy
  read -r dx dy < <(window_origin "Scanning Select")
  sleep 0.3
  xdotool mousemove $((dx + 10 + 12 + 30)) $((dy + 8 + 22 + 26 * $1 + 11)) click 1
  sleep 0.2
  xdotool mousemove $((dx + 75)) $((dy + 175)) click 1
  for _ in $(seq 1 100); do xwininfo -name "Scanning Select" >/dev/null 2>&1 || return 0; sleep 0.05; done
  echo "FAIL: the port dialog did not close" >&2
  return 1
}

red_pixels() { colour_extent "$1" "#FF0000" | cut -d' ' -f1; }
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }

start_device --baud 115200 --wave saw
# Saved as COM OFF with the device's path as the port, as an edited settings file would have it.
start_program "2,$work/ttyV0,115200,なし,8 ビット,1 ビット,なし"
sleep 1
grab_pane "$work/off.png"
[ "$(red_pixels "$work/off.png")" -eq 0 ] || { echo "FAIL: a trace while COM OFF"; exit 1; }

choose_source 0
sleep 1.5
grab_pane "$work/on1.png"
sleep 0.4
grab_pane "$work/on2.png"
echo "live: $(red_pixels "$work/on1.png") and $(red_pixels "$work/on2.png") trace pixels"
[ "$(red_pixels "$work/on1.png")" -ge 300 ] || { echo "FAIL: no trace after COM ON"; exit 1; }
same_picture "$work/on1.png" "$work/on2.png" && { echo "FAIL: the trace does not move"; exit 1; }

choose_source 2
sleep 0.5
grab_pane "$work/stop1.png"
sleep 0.5
grab_pane "$work/stop2.png"
[ "$(red_pixels "$work/stop1.png")" -ge 300 ] || { echo "FAIL: the last trace vanished"; exit 1; }
same_picture "$work/stop1.png" "$work/stop2.png" || { echo "FAIL: the trace goes on after COM OFF"; exit 1; }

finish_program
saved_first_line | grep -q "^2,$work/ttyV0,115200," || { echo "FAIL: settings do not hold the port"; exit 1; }
echo "port switch end to end: ok"
