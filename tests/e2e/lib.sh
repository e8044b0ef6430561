# Shared helpers for end-to-end tests of the real game binary under Xvfb.
# Source it from a test script: . "$(dirname "$0")/lib.sh"
# Every test works in a private copy of the game folder, because the game
# writes its scratch files ("temp.tmp", "guifont.ttf", "tileinfo.tmp") there.
# Every process a test starts dies with the test, however the test ends: each
# is started with a parent-death signal, and the script ends itself (with a
# report) before ctest's own time-out would kill it silently.

set -euo pipefail

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# e2e_step <text>: says, with the time, what the test does next, so that a
# failure's log shows how far it got.
e2e_step() {
  echo "$(date +%T) $*"
}

# e2e_orphan_proof <command...>: runs the command so that it is killed when
# the process that started it ends, even by SIGKILL.
e2e_orphan_proof() {
  exec setpriv --pdeathsig KILL -- "$@"
}

# e2e_setup <game dir> [seconds]: makes $WORK (a private folder) with a copy
# of the game in $WORK/game. The test fails with a report after the given
# time (default 300 s; keep it below the test's ctest TIMEOUT).
e2e_setup() {
  local game_dir=$1 limit=${2:-300}
  WORK=$(mktemp -d /tmp/quorvel-e2e.XXXXXX)
  cp -r "$game_dir" "$WORK/game"
  GAME="$WORK/game/quorvel"
  # The package tool and close_window, from the build folder that holds the game folder.
  local build_dir
  build_dir=$(cd "$game_dir/.." && pwd)
  RKP=${QUORVEL_RKP:-$build_dir/tools/rkp}
  CLOSE_WINDOW=${QUORVEL_CLOSE_WINDOW:-$build_dir/tests/e2e/close_window}
  [ -x "$RKP" ] && [ -x "$CLOSE_WINDOW" ] || e2e_fail "build rkp and close_window first"
  # No sound card on test machines: without this the audio library writes its
  # complaints to standard error, where the tests read the game's reports.
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  # As on a desktop session; without it SDL's look for a Wayland display
  # complains on standard error.
  mkdir -m 700 "$WORK/runtime"
  export XDG_RUNTIME_DIR="$WORK/runtime"
  # The player's settings and screenshots stay in the test's own folder.
  export XDG_CONFIG_HOME="$WORK/config" XDG_PICTURES_DIR="$WORK/pictures"
  trap e2e_teardown EXIT
  E2E_LIMIT=$limit
  trap 'e2e_fail "the test ran out of its $E2E_LIMIT s"' USR1
  trap 'e2e_fail "stopped by a signal"' TERM INT
  # The timer (a read that times out: no sleep left behind) dies with the
  # script, so it never signals a later process given the script's number.
  (e2e_orphan_proof bash -c 'exec 3<> <(:); read -r -t "$1" -u 3 || kill -USR1 "$2"' deadline "$limit" $$) </dev/null >/dev/null 2>&1 &
  DEADLINE_PID=$!
}

e2e_teardown() {
  local status=$?
  set +e
  trap - USR1 TERM INT
  [ $status -ne 0 ] && e2e_diagnose
  kill "$DEADLINE_PID" 2>/dev/null
  e2e_kill_game
  e2e_stop_xvfb
  [ -z "${SERVER_PID:-}" ] || { kill "$SERVER_PID" && wait "$SERVER_PID"; } 2>/dev/null
  [ -z "${DB_DIR:-}" ] || rm -rf "$DB_DIR"
  [ "$(type -t cluster_stop)" != function ] || cluster_stop
  [ $status -eq 0 ] && rm -rf "$WORK" || echo "e2e: work folder kept at $WORK (stderr, screenshots, logs)" >&2
  exit $status
}

# e2e_diagnose: says where the game stood when the test failed: alive or its
# exit status, a backtrace of all its threads when alive, its standard error,
# a picture of the whole screen and the score server's log.
e2e_diagnose() {
  local pid=${GAME_PID:-}
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    echo "--- the game (pid $pid) is alive; its threads:" >&2
    timeout 60 gdb -batch -p "$pid" -ex 'thread apply all bt 25' 2>&1 |
      grep -E '^(Thread|#)' >"$WORK/backtrace.txt"
    cat "$WORK/backtrace.txt" >&2
  elif [ -n "${GAME_STATUS:-}" ]; then
    echo "--- the game ended with status $GAME_STATUS" >&2
  elif [ -n "${GAME_PID:-}" ]; then
    wait "$GAME_PID" 2>/dev/null
    echo "--- the game had ended, status $?" >&2
  fi
  if [ -n "${DISPLAY:-}" ]; then
    timeout 20 import -window root "$WORK/last_screen.png" 2>/dev/null &&
      echo "--- last screen: $WORK/last_screen.png" >&2
  fi
  local f
  for f in stderr server.err xvfb.log; do
    [ -s "$WORK/$f" ] && { echo "--- $f:" >&2; tail -n 30 "$WORK/$f" >&2; }
  done
  return 0
}

# e2e_start_xvfb: starts an X server of this game's own and exports DISPLAY.
# The display number is chosen here rather than with -displayfd: in that mode
# Xvfb takes no lock file, so two servers started at once can share a number
# and the game's window would open on the other test's screen. With a number
# of ours the server's lock file decides; a start whose lock is not ours is
# retried on another number. E2E_SCREEN sets the screen's size and depth.
e2e_start_xvfb() {
  local attempt i number owner
  for attempt in $(seq 1 20); do
    number=$((200 + (RANDOM + $$ + attempt * 7919) % 700))
    [ -e "/tmp/.X$number-lock" ] && continue
    (e2e_orphan_proof Xvfb ":$number" -screen 0 "${E2E_SCREEN:-800x600x24}" -nolisten tcp) 2>"$WORK/xvfb.log" &
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
    e2e_stop_xvfb
  done
  e2e_fail "Xvfb did not start"
}

e2e_stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}

# e2e_start [prefix command...] -- [game args...]: starts the game in the
# background, on an X server of its own, with standard error in $WORK/stderr;
# sets GAME_PID. The prefix must exec the game (env does), not run it as a
# child. Example: e2e_start env FAKETIME=... -- -32bit
# It starts from the folder E2E_START_DIR (default /), never the game's own.
e2e_start() {
  local prefix=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do prefix+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  e2e_kill_game
  e2e_stop_xvfb
  e2e_start_xvfb
  [ -z "${E2E_WINDOW_MANAGER:-}" ] || e2e_start_window_manager
  GAME_STATUS=
  (cd "${E2E_START_DIR:-/}" && e2e_orphan_proof "${prefix[@]}" "$GAME" "$@") >"$WORK/stdout" 2>"$WORK/stderr" &
  GAME_PID=$!
}

# e2e_start_window_manager: openbox on the display, ready before the game
# starts (E2E_WINDOW_MANAGER set makes e2e_start do this); it ends with the X server.
# A new X server sometimes drops the first connection; openbox then ends at
# once and is started again.
e2e_start_window_manager() {
  local attempt i pid
  for attempt in 1 2 3; do
    (e2e_orphan_proof openbox) >>"$WORK/openbox.log" 2>&1 &
    pid=$!
    for i in $(seq 1 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  done
  e2e_fail "openbox did not start"
}

# e2e_kill_game: ends the game started by e2e_start.
e2e_kill_game() {
  [ -n "${GAME_PID:-}" ] || return 0
  e2e_signal_game KILL
  wait "$GAME_PID" 2>/dev/null || true
  GAME_PID=
}

# e2e_signal_game <signal>: sends a signal to the game.
e2e_signal_game() {
  [ -z "${GAME_PID:-}" ] || kill -"$1" "$GAME_PID" 2>/dev/null || true
}

# e2e_window: waits (up to 30 s) for the game window and sets WINDOW.
e2e_window() {
  local i
  for i in $(seq 1 300); do
    WINDOW=$(xdotool search --name '^Quorvel$' 2>/dev/null | head -n1 || true)
    [ -n "$WINDOW" ] && return 0
    e2e_running || e2e_fail "the game ended before opening its window"
    sleep 0.1
  done
  e2e_fail "no game window"
}

# e2e_running: true while the game process is alive.
e2e_running() {
  [ -n "${GAME_PID:-}" ] && kill -0 "$GAME_PID" 2>/dev/null &&
    ! grep -q '^State:.*Z' "/proc/$GAME_PID/status" 2>/dev/null
}

# e2e_wait_exit [seconds]: waits for the game to end; sets GAME_STATUS.
e2e_wait_exit() {
  local limit=${1:-30} i
  for i in $(seq 1 $((limit * 10))); do
    if ! e2e_running; then
      wait "$GAME_PID" && GAME_STATUS=0 || GAME_STATUS=$?
      GAME_PID=
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "the game did not end within $limit s"
}

# e2e_expect_clean_exit [seconds]: the game ends with status 0, leaving no
# scratch file in its folder.
e2e_expect_clean_exit() {
  e2e_wait_exit "${1:-30}"
  [ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
  local f
  for f in guifont.ttf temp.tmp tileinfo.tmp; do
    [ ! -e "$WORK/game/$f" ] || e2e_fail "$f left in the game folder"
  done
}

# e2e_expect_stderr <line...>: standard error is exactly these lines, apart
# from the announcements of SDL's disk audio driver. A line "*" stands for any
# line that is not empty (a reason worded by a library).
e2e_expect_stderr() {
  local expected="$WORK/expected_stderr"
  printf '%s\n' "$@" | sed '/^$/d' >"$expected"
  grep -v '^CRITICAL: .*\(disk i/o audio driver\|Writing to file\)' "$WORK/stderr" |
    awk -v expected="$expected" 'BEGIN { while ((getline line <expected) > 0) want[++n] = line }
      { if (want[FNR] == "*" && $0 != "") $0 = "*"; print }' >"$WORK/stderr.game" || true
  diff -u "$expected" "$WORK/stderr.game" >&2 || e2e_fail "unexpected standard error"
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

# e2e_shot <file>: screenshot of the game window.
e2e_shot() {
  import -window "$WINDOW" "$1"
}

# e2e_pixel_is <x> <y> <r> <g> <b>: the window shows that colour there now.
e2e_pixel_is() {
  local p="p{$1,$2}"
  e2e_shot "$WORK/pixel.png" 2>/dev/null || return 1
  [ "$(convert "$WORK/pixel.png" -format "%[fx:int(255*$p.r)] %[fx:int(255*$p.g)] %[fx:int(255*$p.b)]" info:)" = "$3 $4 $5" ]
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
  local a="$WORK/differing_a.png" b="$WORK/differing_b.png" crop=()
  [ $# -ge 6 ] && crop=(-crop "$5x$6+$3+$4" +repage)
  convert "$1" -alpha off -depth 8 "${crop[@]}" "$a"
  convert "$2" -alpha off -depth 8 "${crop[@]}" "$b"
  compare -metric AE -fuzz 1% "$a" "$b" null: 2>&1 | sed 's/ .*//' || true
}

# e2e_shows <reference png> [x y width height]: true when a fresh screenshot
# of the game window matches the reference (within the rectangle).
e2e_shows() {
  e2e_shot "$WORK/shows.png" 2>/dev/null || return 1
  [ "$(e2e_differing "$WORK/shows.png" "$@")" = "0" ]
}

# e2e_shows_after_nudge <reference png> [x y width height]: as e2e_shows, after
# moving the pointer. Screens that draw only when an event arrives (the help
# pages) need one; pointer motion changes nothing else there.
E2E_NUDGE_X=20
e2e_shows_after_nudge() {
  E2E_NUDGE_X=$((E2E_NUDGE_X % 600 + 7))
  xdotool mousemove --window "$WINDOW" $E2E_NUDGE_X 40
  e2e_shows "$@"
}

# e2e_key <keysym...>: key presses into the game window.
e2e_key() {
  xdotool key --window "$WINDOW" "$@"
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

# e2e_click <x> <y> [button]: points, lets a frame draw the menus and panels
# under the pointer (the hover is computed while drawing), then clicks.
e2e_click() {
  xdotool mousemove --window "$WINDOW" "$1" "$2"
  sleep 0.25
  xdotool click --window "$WINDOW" "${3:-1}"
  sleep 0.25
}

# e2e_start_server <server binary>: runs the score server on a loopback port
# of its own; sets SERVER_PID, PORT and DB. The database lives in memory: a
# sped-up clock shrinks the game's 10 s bound on the exchange to well under a
# second, less than a synced write to a busy disk may take.
e2e_start_server() {
  [ -x "$1" ] || e2e_fail "no score server at $1"
  DB_DIR=$(mktemp -d /dev/shm/quorvel-scores.XXXXXX 2>/dev/null || mktemp -d "$WORK/db.XXXXXX")
  DB="$DB_DIR/scores.db"
  # The server is not what a memory check looks at; it is stopped by a signal.
  (ASAN_OPTIONS=detect_leaks=0 e2e_orphan_proof "$1" --listen 127.0.0.1 --port 0 --db "$DB") \
    >"$WORK/server.out" 2>"$WORK/server.err" &
  SERVER_PID=$!
  local i
  for i in $(seq 1 100); do
    # The log may not exist yet: a failed read must not end the script.
    PORT=$(sed -n 's/^listening on .*:\([0-9][0-9]*\)$/\1/p' "$WORK/server.err" 2>/dev/null | head -n1 || true)
    [ -n "$PORT" ] && return 0
    kill -0 "$SERVER_PID" 2>/dev/null || e2e_fail "the score server ended at start"
    sleep 0.1
  done
  e2e_fail "the score server named no port"
}

# The three main-menu words: top-left corners and a box that holds each one.
MENU_X=100
MENU_Y=(300 350 400)
MENU_WORD=(240 50)

# e2e_extract_pictures: the pictures the game shows, taken from its packages
# into $WORK/ref, so that screenshots are compared with the real content.
e2e_extract_pictures() {
  mkdir -p "$WORK/ref"
  local m i
  for m in start.png start_menu.png help1.png help2.png help3.png helpbox.png topbar.png scoreboard.png; do
    "$RKP" extract "$WORK/game/data/gui.rkp" "$m" "$WORK/ref/$m" >/dev/null
  done
  # Page 4: page 3 with the box centred on it, white parts of the box clear.
  read -r BOX_W BOX_H < <(identify -format '%w %h\n' "$WORK/ref/helpbox.png")
  convert "$WORK/ref/help3.png" -alpha off -depth 8 \
    \( "$WORK/ref/helpbox.png" -alpha off -depth 8 -transparent white \) \
    -geometry "+$((320 - BOX_W / 2))+$((240 - BOX_H / 2))" -composite -alpha off "$WORK/ref/page4.png"
  # How much light red the menu picture itself holds in each word's box.
  MENU_BG_LIGHT=()
  for i in 0 1 2; do
    MENU_BG_LIGHT[i]=$(e2e_colour_count "$WORK/ref/start_menu.png" $MENU_X "${MENU_Y[i]}" "${MENU_WORD[@]}" 255 128 128)
  done
}

# e2e_menu_is <entry>: the game window shows the main menu with exactly that
# entry (0 Begin, 1 Help, 2 Quit) in light red.
e2e_menu_is() {
  local i lit= shot="$WORK/menu.png"
  e2e_shot "$shot" 2>/dev/null || return 1
  # Away from the words the screen is the menu picture.
  [ "$(e2e_differing "$shot" "$WORK/ref/start_menu.png" 360 0 280 480)" = "0" ] || return 1
  for i in 0 1 2; do
    [ $(($(e2e_colour_count "$shot" $MENU_X "${MENU_Y[i]}" "${MENU_WORD[@]}" 255 128 128) - MENU_BG_LIGHT[i])) -gt 100 ] &&
      lit+=$i
  done
  [ "$lit" = "$1" ]
}

# e2e_wait_menu <entry> [seconds]: waits until the menu shows that entry lit.
e2e_wait_menu() {
  e2e_wait_for "${2:-30}" e2e_menu_is "$1"
}

# e2e_to_menu: from the start to the main menu; a key ends the title (or it
# has ended by itself on a slow machine).
e2e_to_menu() {
  e2e_window
  e2e_key x
  e2e_wait_menu 0 60
}

# e2e_begin: from the main menu into a new game (the top bar shows).
e2e_begin() {
  e2e_wait_menu 0 60
  e2e_key Return
  e2e_wait_for 30 e2e_shows "$WORK/ref/topbar.png" 0 0 200 32
}
