#!/usr/bin/env bash
# run_with_display.sh COMMAND [ARGS...]: runs a command that opens windows
# on a virtual display of its own: an Xvfb server on a free display number,
# stopped when the command ends. The command's exit status is returned.
#
# Wine keeps a prefix's desktop on the display its server started with, so
# a program that shows windows gets a prefix of its own (VARNEL_WINEPREFIX,
# which scripts/lib/wine-run honours), whose Wine server is ended before
# and after the run: never one started by a program without a display, nor
# one left on a display that is gone.
set -euo pipefail

wineserver=/usr/lib/wine/wineserver
end_wine() {
  if [ -n "${VARNEL_WINEPREFIX:-}" ] && [ -d "$VARNEL_WINEPREFIX" ]; then
    WINEPREFIX=$VARNEL_WINEPREFIX "$wineserver" -k 2>/dev/null || true
  fi
}

ready=$(mktemp -d)
server=""
stop_server() {
  end_wine
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$ready"
}
trap stop_server EXIT

end_wine
# Xvfb picks a free display itself and writes its number once it accepts
# connections.
mkfifo "$ready/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$ready/display" >/dev/null 2>&1 &
server=$!
display=""
read -r -t 30 display <"$ready/display" || true
if [ -z "$display" ]; then
  echo "run_with_display.sh: Xvfb did not start" >&2
  exit 1
fi
status=0
DISPLAY=":$display" "$@" || status=$?
exit "$status"
