#!/usr/bin/env bash
# The real program logging a virtual serial device into a named pipe whose reader stops after
# 16 KiB: the window goes on drawing and answers clicks while the pipe is full, the log ends at
# its size limit without waiting for the reader, and the reader, once it goes on, gets exactly
# the first 1 MB of the stream from where the log began.
set -euo pipefail
source "$(dirname "$0")/x11.sh"
e2e_begin "$0" "$@"

boxes() { xdotool search --onlyvisible --name '^Tessavue$' 2>/dev/null | wc -l; }

start_device --baud 921600 --wave random --record "$work/sent.bin"
vdev_pid=${pids[-1]}
start_program "0,$work/ttyV0,921600,なし,8 ビット,1 ビット,なし"

mkfifo "$work/pipe"
python3 - "$work/pipe" "$work/go" "$work/got.bin" <<'PY' &
import os, sys, time
pipe, go, got = sys.argv[1:]
fd = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)  # there before the program opens it
os.set_blocking(fd, True)
data = b''
while len(data) < 16384:
    data += os.read(fd, 16384 - len(data))
while not os.path.exists(go):  # the reader stalls
    time.sleep(0.1)
while chunk := os.read(fd, 65536):
    data += chunk
open(got, 'wb').write(data)
PY
reader_pid=$!
pids+=($reader_pid)

# "Log", the pipe's name instead of the proposal, "YES", then "はい" to the overwrite question.
click_in_window $((652 + 52)) $((124 + 13))
read -r dx dy < <(window_origin "Log Start")
sleep 0.3
xdotool mousemove $((dx + 16 + 200)) $((dy + 42 + 13)) click 1 key ctrl+a type "$work/pipe"
xdotool mousemove $((dx + 236 + 50)) $((dy + 128 + 15)) click 1
answer_box_with_enter Tessavue
sleep 2

# The reader has stopped; the trace still moves.
grab_pane "$work/a.png"
sleep 1
grab_pane "$work/b.png"
if cmp -s "$work/a.png" "$work/b.png"; then echo "FAIL: the window stopped drawing"; exit 1; fi
# A click is answered: "Log" asks whether to stop; "いいえ" keeps the log.
click_in_window $((652 + 52)) $((124 + 13))
for _ in $(seq 1 50); do [ "$(boxes)" -eq 1 ] && break; sleep 0.1; done
[ "$(boxes)" -eq 1 ] || { echo "FAIL: the click on Log was not answered"; exit 1; }
id=$(xdotool search --onlyvisible --name '^Tessavue$' | tail -n 1)
sleep 0.3
xdotool windowfocus --sync "$id" key Tab space
sleep 12 # 1 MB at 92,160 bytes a second

touch "$work/go"
for _ in $(seq 1 100); do kill -0 "$reader_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$reader_pid" 2>/dev/null; then echo "FAIL: the log never ended for its reader"; exit 1; fi
[ "$(boxes)" -eq 0 ] || { echo "FAIL: a notice for a log that ended at its limit"; exit 1; }

finish_program
kill "$vdev_pid"
wait "$vdev_pid" || true

python3 - "$work/got.bin" "$work/sent.bin" <<'PY'
import sys
got = open(sys.argv[1], 'rb').read()
sent = open(sys.argv[2], 'rb').read()
assert len(got) == 1048576, f"the reader got {len(got)} bytes, not the 1 MB of the log"
start = sent.find(got[:32])
assert start >= 0 and sent[start:start + len(got)] == got, "the pipe's bytes are not the stream's"
print(f"the reader got the stream's bytes {start}..{start + len(got)}, exactly")
PY
echo "log into a stalled pipe end to end: ok"
