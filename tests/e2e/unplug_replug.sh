#!/usr/bin/env bash
# The real program logging a virtual serial device that is unplugged mid-stream and plugged back
# in at the same link, twice, with the first notice left open: no busy waiting while it is gone,
# reception and the log going on by themselves beneath the notice once it is back, one notice
# for each pull, in turn, and a log that holds exactly what the device sent while the port was
# open.
set -euo pipefail
source "$(dirname "$0")/x11.sh"
e2e_begin "$0" "$@"

# Windows titled exactly "Tessavue": the program's message boxes (the main window's title is longer).
boxes() { xdotool search --onlyvisible --name '^Tessavue$' 2>/dev/null | wc -l; }
# CPU time of the program in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }

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

# Pulls the device and waits until it says so; records how much it had sent by then.
unplugs=()
unplug() {
  kill -USR1 "$vdev_pid"
  wait_for_line_count unplugged "$1"
  unplugs+=("$(stat -c %s "$work/sent.bin")")
}
wait_for_line_count() {
  local i
  for i in $(seq 1 100); do [ "$(grep -cx "$1" "$work/vdev.out")" -ge "$2" ] && return 0; sleep 0.1; done
  echo "FAIL: the device never printed '$1' $2 times" >&2
  return 1
}
# The log must grow with the notice still open: reception goes on beneath it.
log_grows_under_the_box() {
  local before
  before=$(stat -c %s "$log")
  sleep 2
  [ "$(stat -c %s "$log")" -gt "$before" ] || { echo "FAIL: the log stands still under the notice"; exit 1; }
  [ "$(boxes)" -eq 1 ] || { echo "FAIL: $(boxes) notices, not one"; exit 1; }
}

unplug 1
for _ in $(seq 1 50); do [ "$(boxes)" -ge 1 ] && break; sleep 0.1; done
[ "$(boxes)" -eq 1 ] || { echo "FAIL: $(boxes) notices after the unplug, not one"; exit 1; }

ticks_before=$(cpu_ticks)
sleep 3
cpu_percent=$(( ($(cpu_ticks) - ticks_before) * 100 / $(getconf CLK_TCK) / 3 ))
echo "CPU while the device is gone: ${cpu_percent}% of a core"
[ "$cpu_percent" -lt 20 ] || { echo "FAIL: the program spins while the device is gone"; exit 1; }
[ "$(boxes)" -eq 1 ] || { echo "FAIL: the retries brought more notices"; exit 1; }

kill -USR2 "$vdev_pid"
wait_for_line_count "$work/ttyV0" 2
sleep 2 # a retry a second, then data
log_grows_under_the_box

# Pulled and plugged in again with the first notice still open: its notice waits its turn,
# and the port comes back by itself once more.
unplug 2
sleep 1
kill -USR2 "$vdev_pid"
wait_for_line_count "$work/ttyV0" 3
sleep 2
log_grows_under_the_box

answer_box_with_enter Tessavue
sleep 1
[ "$(boxes)" -eq 1 ] || { echo "FAIL: the second pull brought $(boxes) notices after the first, not one"; exit 1; }
answer_box_with_enter Tessavue
sleep 1
[ "$(boxes)" -eq 0 ] || { echo "FAIL: $(boxes) notices left after two were answered"; exit 1; }

finish_program
kill "$vdev_pid"
wait "$vdev_pid" || true

python3 - "$log" "$work/sent.bin" "${unplugs[@]}" <<'PY'
import sys
log = open(sys.argv[1], 'rb').read()
sent = open(sys.argv[2], 'rb').read()
unplugs = [int(u) for u in sys.argv[3:]]
print(f"log {len(log)} bytes, device sent {len(sent)}, unplugged after {unplugs}")
# The device's random bytes make any 32 of them unique: cut the log into the stretches of the
# stream it matches, in order.
stretches, at, sent_from = [], 0, 0
while at < len(log):
    start = sent.find(log[at:at + 32], sent_from)
    assert start >= 0, f"log bytes {at}.. were never sent (after {sent_from})"
    n = 0
    while at + n < len(log) and start + n < len(sent) and log[at + n] == sent[start + n]:
        n += 1
    stretches.append((start, start + n))
    at, sent_from = at + n, start + n
print("stretches of the stream in the log:", stretches)
assert len(stretches) == len(unplugs) + 1, "the log has more gaps than the port had"
for (first, end), unplugged_at in zip(stretches, unplugs):
    assert first < unplugged_at <= end, f"the log lacks bytes sent before the pull at {unplugged_at}"
assert stretches[-1][1] - stretches[-1][0] >= 10000, "too little logged after the last replug"
print("log = what the device sent while the port was open, stretch by stretch")
PY
echo "unplug and replug end to end: ok"
