#!/usr/bin/env bash
# run_with_display.sh COMMAND [ARGS...]: runs a command that opens windows
# on a virtual display of its own: an Xvfb server on a free display number,
# stopped when the command ends. The command's exit status is returned.
set -euo pipefail

ready=$(mktemp -d)
trap 'rm -rf "$ready"' EXIT
# Xvfb picks a free display itself and writes its number once it accepts
# connections.
mkfifo "$ready/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$ready/display" >/dev/null 2>&1 &
server=$!
stop_server() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -rf "$ready"
}
trap stop_server EXIT
display=""
read -r -t 30 display <"$ready/display" || true
if [ -z "$display" ]; then
  echo "run_with_display.sh: Xvfb did not start" >&2
  exit 1
fi
status=0
DISPLAY=":$display" "$@" || status=$?
exit "$status"
