#!/usr/bin/env bash
# A PDF printer for the print test: `start` runs a CUPS server with a cups-pdf queue "PDF" as
# the default printer when no CUPS server is running yet; `stop` ends that server again, and
# only when this script started it (a server someone else runs is left alone).
set -uo pipefail
cd "$(dirname "$0")/.."
pid_file="$PWD/build-cups/cupsd.pid"

server_running() { lpstat -r 2>/dev/null | grep -q 'is running'; }

start() {
  if server_running; then
    echo "cups-pdf.sh: a CUPS server is already running; using it"
  else
    mkdir -p /run/cups "$(dirname "$pid_file")"
    /usr/sbin/cupsd -f >/dev/null 2>&1 &
    echo $! >"$pid_file"
    for _ in $(seq 1 100); do
      server_running && break
      sleep 0.1
    done
    if ! server_running; then
      echo "cups-pdf.sh: the CUPS server did not come up" >&2
      return 1
    fi
  fi
  if ! lpstat -d 2>/dev/null | grep -q 'system default destination:'; then
    lpadmin -p PDF -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd \
      -o pdftops-renderer-default=pdftocairo &&
      lpadmin -d PDF || {
      echo "cups-pdf.sh: could not set up the PDF printer" >&2
      return 1
    }
  fi
  lpstat -d
}

stop() {
  [ -f "$pid_file" ] || return 0
  local pid
  pid="$(cat "$pid_file")"
  rm -f "$pid_file"
  kill "$pid" 2>/dev/null || true
}

case "${1:-}" in
start) start ;;
stop) stop ;;
*)
  echo "usage: $0 start|stop" >&2
  exit 2
  ;;
esac
