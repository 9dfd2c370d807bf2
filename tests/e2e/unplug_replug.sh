#!/usr/bin/env bash
# The real program logging a virtual serial device that is unplugged mid-stream and plugged back
# in at the same link: one notice naming the port, no busy waiting while it is gone, reception
# and the log going on by themselves once it is back, and a log that holds exactly what the
# device sent while the port was open.
set -euo pipefail
source "$(dirname "$0")/x11.sh"
e2e_begin "$0" "$@"

# Windows titled exactly "Tessavue": the program's message boxes (the main window's title is longer).
boxes() { xdotool search --onlyvisible --name '^Tessavue$' 2>/dev/null | wc -l; }
# CPU time of the program in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
wait_for_line() {
  local i
  for i in $(seq 1 100); do grep -qx "$1" "$work/vdev.out" && return 0; sleep 0.1; done
  echo "FAIL: the device never printed '$1'" >&2
  return 1
}

start_device --baud 115200 --wave random --record "$work/sent.bin"
vdev_pid=${pids[-1]}
start_program "0,$work/ttyV0,115200,なし,8 ビット,1 ビット,なし"

# "Log", then "YES" on the proposed name in the program's folder.
click_in_window $((652 + 52)) $((124 + 13))
read -r dx dy < <(window_origin "Log Start")
sleep 0.3
xdotool mousemove $((dx + 236 + 50)) $((dy + 128 + 15)) click 1
sleep 1.5
log=$(ls "$work"/LOG*.log)

kill -USR1 "$vdev_pid"
wait_for_line unplugged
sent_before=$(stat -c %s "$work/sent.bin")
for _ in $(seq 1 50); do [ "$(boxes)" -ge 1 ] && break; sleep 0.1; done
[ "$(boxes)" -eq 1 ] || { echo "FAIL: $(boxes) notices after the unplug, not one"; exit 1; }

ticks_before=$(cpu_ticks)
sleep 3
cpu_percent=$(( ($(cpu_ticks) - ticks_before) * 100 / $(getconf CLK_TCK) / 3 ))
echo "CPU while the device is gone: ${cpu_percent}% of a core"
[ "$cpu_percent" -lt 20 ] || { echo "FAIL: the program spins while the device is gone"; exit 1; }
[ "$(boxes)" -eq 1 ] || { echo "FAIL: the retries brought more notices"; exit 1; }

kill -USR2 "$vdev_pid"
wait_for_line "$work/ttyV0"
sleep 3 # a retry a second, then data for a while, all with the notice still open
[ "$(boxes)" -eq 1 ] || { echo "FAIL: $(boxes) notices after the replug"; exit 1; }
answer_box_with_enter Tessavue
sleep 0.5

finish_program
kill "$vdev_pid"
wait "$vdev_pid" || true

python3 - "$log" "$work/sent.bin" "$sent_before" <<'PY'
import sys
log = open(sys.argv[1], 'rb').read()
sent = open(sys.argv[2], 'rb').read()
unplugged_at = int(sys.argv[3])
print(f"log {len(log)} bytes, device sent {unplugged_at} before the unplug and {len(sent)} in all")
# The device's random bytes make any 32 of them unique: find where the log reaches the unplug.
cut = log.find(sent[unplugged_at - 32:unplugged_at])
assert cut >= 0, "the log lacks the last bytes sent before the unplug"
cut += 32
assert log[:cut] == sent[unplugged_at - cut:unplugged_at], "the log before the unplug differs"
rest = log[cut:]
assert len(rest) >= 10000, f"only {len(rest)} bytes logged after the replug"
resumed = sent.find(rest[:32], unplugged_at)
assert resumed >= 0 and sent[resumed:resumed + len(rest)] == rest, "the log after the replug differs"
print(f"log = {cut} bytes up to the unplug + {len(rest)} after the replug, byte for byte")
PY
echo "unplug and replug end to end: ok"
