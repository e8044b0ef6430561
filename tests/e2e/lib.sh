# Shared helpers for end-to-end tests of the real game binary under Xvfb.
# Source it from a test script: . "$(dirname "$0")/../e2e/lib.sh"
# Every test works in a private copy of the game folder, because the game
# writes its scratch files ("temp.tmp", "guifont.ttf", "tileinfo.tmp") there.

set -euo pipefail

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# e2e_setup <game dir>: makes $WORK (a private folder) with a copy of the game
# in $WORK/game, starts an Xvfb of its own and exports DISPLAY.
e2e_setup() {
  local game_dir=$1
  WORK=$(mktemp -d /tmp/quorvel-e2e.XXXXXX)
  cp -r "$game_dir" "$WORK/game"
  GAME="$WORK/game/quorvel"
  local fd_file="$WORK/display"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fd_file" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || e2e_fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fd_file")"
  trap e2e_teardown EXIT
}

e2e_teardown() {
  local status=$?
  [ -n "${GAME_PID:-}" ] && kill -9 "$GAME_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  if [ $status -ne 0 ] && [ -n "${WORK:-}" ]; then
    echo "e2e: work folder kept at $WORK" >&2
  else
    rm -rf "${WORK:-/nonexistent}"
  fi
  exit $status
}

# e2e_start [prefix command...] -- [game args...]: starts the game in the
# background with standard error in $WORK/stderr; sets GAME_PID.
# Example: e2e_start faketime -f '+0 x10' -- -32bit
e2e_start() {
  local prefix=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do prefix+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  ( cd /; exec "${prefix[@]}" "$GAME" "$@" ) >"$WORK/stdout" 2>"$WORK/stderr" &
  GAME_PID=$!
}

# e2e_window: waits (up to 20 s) for the game window and sets WINDOW.
e2e_window() {
  local i
  for i in $(seq 1 200); do
    WINDOW=$(xdotool search --name '^Quorvel$' 2>/dev/null | head -n1 || true)
    [ -n "$WINDOW" ] && return 0
    sleep 0.1
  done
  e2e_fail "no game window"
}

# e2e_wait_exit [seconds]: waits for the game to end; sets GAME_STATUS.
e2e_wait_exit() {
  local limit=${1:-20} i
  for i in $(seq 1 $((limit * 10))); do
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
      wait "$GAME_PID" && GAME_STATUS=0 || GAME_STATUS=$?
      GAME_PID=
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "game did not end within $limit s"
}

# e2e_shot <file>: screenshot of the game window.
e2e_shot() {
  import -window "$WINDOW" "$1"
}

# e2e_pixel <png> <x> <y>: prints "r g b" of one pixel.
e2e_pixel() {
  convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)] %[fx:int(255*p{'"$2"','"$3"'}.g)] %[fx:int(255*p{'"$2"','"$3"'}.b)]' info:
}

# e2e_key <keysym...>: key presses into the game window.
e2e_key() {
  xdotool key --window "$WINDOW" "$@"
}

# e2e_click <x> <y> [button]: moves the pointer to window coordinates and clicks.
e2e_click() {
  xdotool mousemove --window "$WINDOW" "$1" "$2" click "${3:-1}"
}

# e2e_close: asks the window manager-less X server to close the window, as
# the close button does (WM_DELETE_WINDOW).
e2e_close() {
  xdotool windowclose "$WINDOW" 2>/dev/null || xdotool windowkill "$WINDOW"
}
