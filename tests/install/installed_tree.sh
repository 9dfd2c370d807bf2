#!/usr/bin/env bash
# The program as a user of an installed copy meets it: installed into a tree that user may not
# write to and started as that user, with the menu entry and the metainfo checked by their
# validators. The settings must land in XDG_CONFIG_HOME, a second start must be refused
# whatever TMPDIR says, and nothing may be left in /tmp.
set -euo pipefail
source "$(dirname "$0")/../e2e/x11.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: starting the program as another user needs root"
  exit 77
fi
e2e_begin "$0" "$@"
build=$4
id=org.tessavue.Tessavue
fail() { echo "FAIL: $*"; exit 1; }

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
chmod -R u=rwX,go=rX "$root"
chmod 755 "$work"
for f in bin/tessavue bin/tessavue-vdev share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/man/man1/tessavue.1.gz share/man/man1/tessavue-vdev.1.gz \
  share/doc/tessavue/copyright share/doc/tessavue/changelog.gz; do
  [ -f "$root/usr/$f" ] || fail "not installed: /usr/$f"
done
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo"
grep -qx 'Exec=tessavue %f' "$root/usr/share/applications/$id.desktop" || fail "the entry passes no file"

# The user: nobody, with a home and a runtime folder of its own, as a desktop session gives
# (without one Qt makes $TMPDIR/runtime-USER itself), and two different temporary folders.
home=$work/home
mkdir -p "$home" "$work/run" "$work/tmpA" "$work/tmpB"
chown nobody:nogroup "$home" "$work/run" "$work/tmpA" "$work/tmpB"
chmod 700 "$work/run"
cp "$XAUTHORITY" "$work/xauth"
chown nobody "$work/xauth"
head -c 2500 /dev/urandom >"$work/data.log"
chmod 644 "$work/data.log"
program=$root/usr/bin/tessavue
# The sanitizer build's settings go along; the rest of the environment is the user's own.
sanitizers=()
for v in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  [ -z "${!v:-}" ] || sanitizers+=("$v=${!v}")
done
as_user() {
  local tmp=$1
  shift
  setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$work/run" \
    DISPLAY="$DISPLAY" XAUTHORITY="$work/xauth" QT_QPA_PLATFORM=xcb TMPDIR="$tmp" "${sanitizers[@]}" "$@"
}
touch "$work/started"

# The command line, answered without a window.
as_user "$work/tmpA" "$program" --help | grep -q '^Usage: tessavue' || fail "--help"
as_user "$work/tmpA" "$program" --version | grep -qx 'tessavue [0-9.]*' || fail "--version"
rc=0
as_user "$work/tmpA" "$program" --colour >"$work/bad.out" 2>"$work/bad.err" || rc=$?
[ "$rc" -eq 2 ] && [ ! -s "$work/bad.out" ] || fail "a bad option gave status $rc"
grep -q "unknown option '--colour'" "$work/bad.err" || fail "no reason for the bad option"

# The first start shows the file it was given; a second one with another TMPDIR gives way.
as_user "$work/tmpA" "$program" "$work/data.log" >"$work/app.out" 2>&1 &
app=$!
pids+=($app)
read -r wx wy < <(window_origin "Tessavue File $work/data.log")
as_user "$work/tmpB" "$program" >"$work/second.out" 2>&1 &
second=$!
pids+=($second)
for _ in $(seq 1 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "a second copy runs beside the first"
wait "$second" || fail "the second start ended with $?"
kill -0 "$app" 2>/dev/null || fail "the first copy is gone"

finish_program
settings=$home/config/tessavue/Tessavue.OVR
[ -f "$settings" ] || fail "no settings in XDG_CONFIG_HOME"
iconv -f CP932 -t UTF-8 "$settings" | sed -n 6p | grep -q "^$work,1" ||
  fail "the data folder is not the file's: $(sed -n 6p "$settings")"
[ -z "$(find "$root" -name Tessavue.OVR)" ] || fail "settings inside the installed tree"
left=$(find /tmp "$work/run" "$work/tmpA" "$work/tmpB" -mindepth 1 -maxdepth 1 -user nobody -newer "$work/started")
[ -z "$left" ] || fail "left behind: $left"
echo "installed tree: ok"
