#!/usr/bin/env bash
# Starts a build's varnel.exe under Wine on a virtual display, waits for its
# main window, closes it as the close box would (WM_CLOSE, through Wine's
# taskkill) and requires the program to end by itself with status 0 and no
# message box: the smallest proof that the program starts and ends on the
# system it was built for (for the 32-bit build: the 32-bit Wine).
# Usage: editor_starts_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
editor=$build/bin/varnel.exe
[ -f "$editor" ] || { echo "editor starts: $editor is missing" >&2; exit 1; }
export VARNEL_WINEPREFIX=$build/wineprefix-editor-start

run() {
  set -o pipefail
  "$root/scripts/lib/wine-run" "$editor" &
  local program=$!
  # Looked for again until it shows: a search fails outright (BadWindow)
  # when a window of Wine's start-up goes away while it walks the tree.
  local window="" deadline=$((SECONDS + 90))
  while [ -z "$window" ] && [ "$SECONDS" -lt "$deadline" ]; do
    window=$(xdotool search --onlyvisible --name '^Varnel( |$)' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] || sleep 0.5
  done
  if [ -z "$window" ]; then
    kill "$program" 2>/dev/null || true
    echo "editor starts: no window whose title starts with Varnel appeared" >&2
    return 1
  fi
  echo "editor starts: main window $window shown"
  WINEPREFIX=$VARNEL_WINEPREFIX WINEDEBUG=-all /usr/lib/wine/wine64 taskkill /IM varnel.exe >/dev/null 2>&1
  local status=0
  if ! timeout 60 tail --pid="$program" -f /dev/null; then
    kill "$program" 2>/dev/null || true
    echo "editor starts: the editor did not end when its window was closed" >&2
    return 1
  fi
  wait "$program" || status=$?
  echo "editor starts: ended with status $status"
  return "$status"
}

export -f run
export root editor
exec "$here/../win32/run_with_display.sh" bash -c run
