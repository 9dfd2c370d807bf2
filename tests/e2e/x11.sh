# Shell helpers for driving the real program on an X display (sourced by the end-to-end tests).

# Called first with the script's path and arguments (the program, then tessavue-vdev): runs the
# script again under a fresh X server, then sets bin, vdev, work (a temporary folder) and pids
# (processes ended, with the folder removed, on exit).
e2e_begin() {
  local script=$1
  shift
  if [ "${1:-}" != "--inner" ]; then
    exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$script" --inner "$@"
  fi
  # A real window on the X server, whatever the test runner set.
  export QT_QPA_PLATFORM=xcb
  bin=$2
  vdev=$3
  work=$(mktemp -d)
  pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
}

# Prints "x y" of the client area of the first window whose name matches $1, once it is mapped.
window_origin() {
  local name=$1 i info
  for i in $(seq 1 200); do
    if info=$(xwininfo -name "$name" 2>/dev/null); then
      awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}' <<<"$info"
      return 0
    fi
    sleep 0.05
  done
  echo "no window named '$name'" >&2
  return 1
}

# Starts a virtual serial device at $work/ttyV0 streaming the given tessavue-vdev arguments.
start_device() {
  "$vdev" --link "$work/ttyV0" "$@" >"$work/vdev.out" &
  pids+=($!)
  local i
  for i in $(seq 1 100); do [ -e "$work/ttyV0" ] && return 0; sleep 0.05; done
  echo "the virtual device did not come up" >&2
  return 1
}

# Starts a copy of the program in $work with the settings line $1 (its first line) and waits
# for its main window; sets app (pid), wx and wy (window origin).
start_program() {
  cp "$bin" "$work/tessavue"
  printf '%s\r\n' "$1" | iconv -f UTF-8 -t CP932 >"$work/Tessavue.OVR"
  "$work/tessavue" >"$work/app.out" 2>&1 &
  app=$!
  pids+=($app)
  read -r wx wy < <(window_origin "Tessavue Scanning")
}

# Saves the graph pane of the main window as PNG $1.
grab_pane() {
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "588x360+$((wx + 8))+$((wy + 8))" +repage "$1"
}

# Prints "count minx maxx miny maxy" of the pixels of colour $2 (#RRGGBB) in PNG $1.
colour_extent() {
  convert "$1" txt:- | awk -v c="$2" -F'[,: ]+' '
    index($0, c) { n++; if (n == 1 || $1 < a) a = $1; if ($1 > b) b = $1;
                   if (n == 1 || $2 < lo) lo = $2; if ($2 > hi) hi = $2 }
    END { print n + 0, a + 0, b + 0, lo + 0, hi + 0 }'
}

# Clicks at a position inside the main window's client area.
click_in_window() {
  xdotool mousemove $((wx + $1)) $((wy + $2)) click 1
}

# Answers the program's own message box (titled $1) with Enter on its focused button.
answer_box_with_enter() {
  local id="" i
  for i in $(seq 1 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | tail -n 1) && [ -n "$id" ] && break
    sleep 0.05
  done
  [ -n "$id" ] || { echo "no message box '$1'" >&2; return 1; }
  sleep 0.3
  xdotool windowfocus --sync "$id" key Return
}

# "Fin", "はい" (the focused button of the exit question), then the process must end with 0.
finish_program() {
  click_in_window $((764 + 52)) $((154 + 13))
  answer_box_with_enter "Tessavue"
  local i rc
  for i in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then echo "FAIL: the program did not end"; return 1; fi
  wait "$app" && rc=0 || rc=$?
  cat "$work/app.out"
  [ "$rc" -eq 0 ] || { echo "FAIL: exit status $rc"; return 1; }
}

# The first line of the settings file the program wrote, in UTF-8.
saved_first_line() {
  iconv -f CP932 -t UTF-8 "$work/Tessavue.OVR" | head -n 1 | tr -d '\r'
}
