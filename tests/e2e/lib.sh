# Shared helpers for end-to-end tests of the real game binary under Xvfb.
# Source it from a test script: . "$(dirname "$0")/../e2e/lib.sh"
# Every test works in a private copy of the game folder, because the game
# writes its scratch files ("temp.tmp", "guifont.ttf", "tileinfo.tmp") there.

set -euo pipefail

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# e2e_start_xvfb: starts an X server of this test's own and exports DISPLAY.
# The display number is chosen here rather than with -displayfd: in that mode
# Xvfb takes no lock file, so two servers started at once can share a number
# and the game's window would open on the other test's screen. With a number
# of ours the server's lock file decides; a start whose lock is not ours is
# retried on another number.
e2e_start_xvfb() {
  local attempt i number owner
  for attempt in $(seq 1 20); do
    number=$((200 + (RANDOM + $$ + attempt * 7919) % 700))
    [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 800x600x24 -nolisten tcp 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    for i in $(seq 1 50); do
      [ -S "/tmp/.X11-unix/X$number" ] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    owner=$(tr -d ' \n' <"/tmp/.X$number-lock" 2>/dev/null || true)
    if kill -0 "$XVFB_PID" 2>/dev/null && [ "$owner" = "$XVFB_PID" ] && [ -S "/tmp/.X11-unix/X$number" ]; then
      export DISPLAY=":$number"
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  done
  e2e_fail "Xvfb did not start"
}

# e2e_setup <game dir>: makes $WORK (a private folder) with a copy of the game
# in $WORK/game, starts an Xvfb of its own and exports DISPLAY.
e2e_setup() {
  local game_dir=$1
  WORK=$(mktemp -d /tmp/quorvel-e2e.XXXXXX)
  cp -r "$game_dir" "$WORK/game"
  GAME="$WORK/game/quorvel"
  e2e_find_tools "$game_dir"
  # No sound card on test machines: without this the audio library writes its
  # complaints to standard error, where the tests read the game's reports.
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  e2e_start_xvfb
  trap e2e_teardown EXIT
}

e2e_teardown() {
  local status=$?
  e2e_kill_game
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  if [ $status -ne 0 ] && [ -n "${WORK:-}" ]; then
    echo "e2e: work folder kept at $WORK" >&2
  else
    rm -rf "${WORK:-/nonexistent}"
  fi
  exit $status
}

# e2e_kill_game: ends the game started by e2e_start, and the children of a
# prefix command (faketime runs the game as its child).
e2e_kill_game() {
  [ -n "${GAME_PID:-}" ] || return 0
  local children
  children=$(ps -o pid= --ppid "$GAME_PID" 2>/dev/null || true)
  # shellcheck disable=SC2086
  kill -9 $children "$GAME_PID" 2>/dev/null || true
  GAME_PID=
}

# e2e_start [prefix command...] -- [game args...]: starts the game in the
# background with standard error in $WORK/stderr; sets GAME_PID.
# Example: e2e_start faketime -f '+0 x10' -- -32bit
# It starts from the folder E2E_START_DIR (default /), never the game's own.
e2e_start() {
  local prefix=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do prefix+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  ( cd "${E2E_START_DIR:-/}"; exec "${prefix[@]}" "$GAME" "$@" ) >"$WORK/stdout" 2>"$WORK/stderr" &
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

# e2e_close: asks the game window to close as the close button does: a
# WM_DELETE_WINDOW message (the test X server runs no window manager).
e2e_close() {
  "$CLOSE_WINDOW" "$WINDOW"
}

# e2e_find_tools <game dir>: sets RKP (the package tool) and CLOSE_WINDOW from
# the build folder that holds the game folder; builds close_window on the spot
# when only the game was built.
e2e_find_tools() {
  local build_dir
  build_dir=$(cd "$1/.." && pwd)
  RKP=${QUORVEL_RKP:-$build_dir/tools/rkp}
  CLOSE_WINDOW=${QUORVEL_CLOSE_WINDOW:-$build_dir/tests/e2e/close_window}
  if [ ! -x "$CLOSE_WINDOW" ]; then
    CLOSE_WINDOW="$WORK/close_window"
    cc -o "$CLOSE_WINDOW" "$(dirname "${BASH_SOURCE[0]}")/close_window.c" -lX11 ||
      e2e_fail "cannot build close_window"
  fi
}

# e2e_wait_for <seconds> <command...>: polls (every 0.2 s) until the command
# succeeds; fails the test when it has not within the limit.
e2e_wait_for() {
  local limit=$1 i
  shift
  for i in $(seq 1 $((limit * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  e2e_fail "not within $limit s: $*"
}

# e2e_running: true while the game process is alive.
e2e_running() {
  [ -n "${GAME_PID:-}" ] && kill -0 "$GAME_PID" 2>/dev/null &&
    ! grep -q '^State:.*Z' "/proc/$GAME_PID/status" 2>/dev/null
}

# e2e_colour_count <png> <x> <y> <width> <height> <r> <g> <b>: prints how many
# pixels of the rectangle have exactly that colour.
e2e_colour_count() {
  local colour="rgb($6,$7,$8)"
  convert "$1" -crop "$4x$5+$2+$3" +repage -alpha off \
    -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# e2e_differing <png> <reference png> [x y width height]: prints how many
# pixels differ (beyond rounding) between the two pictures, optionally within
# a rectangle only. Alpha is dropped, as the game's display format does.
e2e_differing() {
  local a="$WORK/differing_a.png" b="$WORK/differing_b.png"
  if [ $# -ge 6 ]; then
    convert "$1" -alpha off -depth 8 -crop "$5x$6+$3+$4" +repage "$a"
    convert "$2" -alpha off -depth 8 -crop "$5x$6+$3+$4" +repage "$b"
  else
    convert "$1" -alpha off -depth 8 "$a"
    convert "$2" -alpha off -depth 8 "$b"
  fi
  compare -metric AE -fuzz 1% "$a" "$b" null: 2>&1 | sed 's/ .*//' || true
}

# e2e_shows <reference png> [x y width height]: true when a fresh screenshot
# of the game window matches the reference (within the rectangle).
e2e_shows() {
  e2e_shot "$WORK/shows.png" 2>/dev/null || return 1
  [ "$(e2e_differing "$WORK/shows.png" "$@")" = "0" ]
}

# e2e_member <package> <member> <output>: extracts one member of a package of
# the private game copy.
e2e_member() {
  "$RKP" extract "$WORK/game/$1" "$2" "$3" >/dev/null
}

# e2e_signal_game <signal>: sends a signal to the game and the children of a
# prefix command.
e2e_signal_game() {
  [ -n "${GAME_PID:-}" ] || return 0
  local children
  children=$(ps -o pid= --ppid "$GAME_PID" 2>/dev/null || true)
  # shellcheck disable=SC2086
  kill -"$1" $children "$GAME_PID" 2>/dev/null || true
}

# e2e_type_burst <keys...>: types keys while the game is stopped, so that it
# takes every press and release in one pass. Under a sped-up clock the key
# repeat delay shrinks to a few real milliseconds, and a loaded machine would
# otherwise deliver a release late enough to repeat the key.
e2e_type_burst() {
  e2e_signal_game STOP
  xdotool key --window "$WINDOW" "$@"
  sleep 0.3
  e2e_signal_game CONT
}
