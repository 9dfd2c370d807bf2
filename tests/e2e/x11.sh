# Shell helpers for driving the real program on an X display (sourced by the end-to-end tests).

# Prints "x y" of the client area of the first window whose name matches $1, once it is mapped.
window_origin() {
  local name=$1 i
  for i in $(seq 1 200); do
    local info
    info=$(xwininfo -name "$name" 2>/dev/null) && {
      awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}' <<<"$info"
      return 0
    }
    sleep 0.05
  done
  echo "no window named '$name'" >&2
  return 1
}

# Counts pixels of colour $2 (#RRGGBB) in PNG $1, printed as lines "x y".
pixels_of_colour() {
  convert "$1" txt:- | awk -v c="$2" -F'[,: ]+' 'index($0, c) {print $1, $2}'
}

# Clicks at absolute screen position x y.
click_at() {
  xdotool mousemove "$1" "$2" click 1
}

# Answers the program's own message box (titled $1) with Enter on its focused button.
answer_box_with_enter() {
  local id i
  for i in $(seq 1 100); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | tail -n 1) && [ -n "$id" ] && break
    sleep 0.05
  done
  [ -n "$id" ] || { echo "no message box '$1'" >&2; return 1; }
  sleep 0.3
  xdotool windowfocus --sync "$id" key Return
}
