#!/usr/bin/env bash
# The whole program of the sanitizer build under AddressSanitizer and
# LeakSanitizer, on a clock 25 times fast: help, a game with orders (an
# office, hiring, a woodworker, the free-elves panel, a worker sent, an
# information panel, the quit menu) played to the end of its clock, the
# end-of-game screen with a name sent to the real score server, back to the
# main menu, a short second game left through the quit menu, and "Quit".
# Fails on any sanitizer report, on any leak not in the suppressions file, on
# a non-zero exit status and when the server did not store the score.
#   whole_game.sh <game dir> <score server> <suppressions file>
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/../e2e_app/app_lib.sh"
. "$(dirname "$0")/../e2e_play/play_lib.sh"
server_binary=$2
suppressions=$3
LIST_TOP=75
NAME="Mem Check"

memcheck_teardown() {
  local status=$?
  set +e
  if [ -n "${SERVER_PID:-}" ]; then
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
  fi
  [ -n "${DB_DIR:-}" ] && rm -rf "$DB_DIR"
  if [ $status -ne 0 ] && [ -n "${WORK:-}" ]; then
    echo "--- game output:" >&2
    cat "$WORK/stdout" "$WORK/stderr" >&2 2>/dev/null
    echo "--- score server output:" >&2
    cat "$WORK/server.err" >&2 2>/dev/null
  fi
  (exit $status)
  e2e_teardown
}

start_server() {
  [ -x "$server_binary" ] || e2e_fail "no score server at $server_binary"
  # In memory: the fast clock leaves the exchange well under a second.
  DB_DIR=$(mktemp -d /dev/shm/quorvel-memcheck.XXXXXX 2>/dev/null || mktemp -d "$WORK/db.XXXXXX")
  DB="$DB_DIR/scores.db"
  # The server is not the subject here; it is stopped by a signal anyway.
  ASAN_OPTIONS=detect_leaks=0 "$server_binary" --listen 127.0.0.1 --port 0 --db "$DB" \
    >"$WORK/server.out" 2>"$WORK/server.err" &
  SERVER_PID=$!
  for _ in $(seq 1 100); do
    PORT=$(sed -n 's/^listening on .*:\([0-9][0-9]*\)$/\1/p' "$WORK/server.err" 2>/dev/null | head -n1)
    [ -n "$PORT" ] && return 0
    kill -0 "$SERVER_PID" 2>/dev/null || e2e_fail "the score server ended at start"
    sleep 0.1
  done
  e2e_fail "the score server named no port"
}

# money_changed <reference png>: the money counter differs from the picture.
money_changed() {
  e2e_shot "$WORK/money.png" 2>/dev/null || return 1
  [ "$(e2e_differing "$WORK/money.png" "$1" 203 4 80 24)" != "0" ]
}

# buy_near <menu y> <column> <row>: opens the build menu, takes the entry at
# that height and clicks map cells around the one given until the money
# drops; sets SPOT_COLUMN and SPOT_ROW (empty when no cell took it). Which
# cells are free depends on the random map, so no cell is certain.
buy_near() {
  local cell
  e2e_shot "$WORK/before_buy.png"
  play_click 400 100 3
  play_click 450 "$1"
  SPOT_COLUMN=
  SPOT_ROW=
  for cell in $(play_cells_around "$2" "$3" | head -n 12); do
    play_click $((32 * ${cell%,*} + 16)) $((32 * ${cell#*,} + 48))
    if money_changed "$WORK/before_buy.png"; then
      SPOT_COLUMN=${cell%,*}
      SPOT_ROW=${cell#*,}
      return 0
    fi
  done
  # Right click away: stop placing, close whatever is open.
  play_click 300 300 3
}

# hire <menu y>: hires an elf of that menu entry into the office.
hire() {
  play_click 400 100 3
  play_click 450 "$1"
  play_click $((32 * OFFICE_COLUMN + 16)) $((32 * OFFICE_ROW + 48))
  play_click 300 300 3
}

[ -f "$suppressions" ] || e2e_fail "no suppressions file at $suppressions"
e2e_setup "$1"
trap memcheck_teardown EXIT
play_extract_pictures
e2e_member data/gui.rkp scoreboard.png "$WORK/scoreboard.png"
start_server

libs=/usr/lib/x86_64-linux-gnu
preload="$libs/faketime/libfaketime.so.1"
[ -f "$preload" ] || e2e_fail "no libfaketime at $preload"
# SDL 2 loads Mesa's software GL driver for its renderer and unloads it at
# shut-down; the driver's few lasting blocks then sit in unmapped memory and
# can be neither traced nor named. Loaded from the start, it stays mapped and
# they are reachable, as they are in every run that ends without SDL_Quit.
[ -f "$libs/dri/swrast_dri.so" ] && preload="$preload $libs/dri/swrast_dri.so"
# The clock library is preloaded by hand (as the faketime wrapper would), so
# that it sits after the sanitizer runtime, which the game links statically.
e2e_start env LD_PRELOAD="$preload" FAKETIME="+0 x25" \
  ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0:halt_on_error=1:detect_stack_use_after_return=1 \
  LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  -- -server "127.0.0.1:$PORT"
e2e_window
app_wait_menu 0 60

# The four help pages, one key each. A page is drawn on the next event, so
# the pointer moves while it is awaited.
nudge_x=0
shows_after_nudge() {
  nudge_x=$((nudge_x % 600 + 7))
  xdotool mousemove --window "$WINDOW" $nudge_x 40
  e2e_shows "$@"
}
e2e_key Down Return
for page in help1 help2 help3 page4; do
  e2e_wait_for 30 shows_after_nudge "$WORK/ref/$page.png"
  e2e_key space
done
app_wait_menu 0 30

# Game one, played with the mouse.
e2e_key Return
e2e_wait_for 30 play_in_game
buy_near 113 4 8
[ -n "$SPOT_COLUMN" ] || e2e_fail "no office could be bought"
OFFICE_COLUMN=$SPOT_COLUMN
OFFICE_ROW=$SPOT_ROW
hire 257
hire 281
hire 305
buy_near 137 "$OFFICE_COLUMN" "$OFFICE_ROW"
if [ -n "$SPOT_COLUMN" ]; then
  # The free-elves panel from empty ground, its worker row, the woodworker.
  play_click 400 400
  play_click 500 442
  play_click $((32 * SPOT_COLUMN + 16)) $((32 * SPOT_ROW + 48))
  # Its information panel, then a click away closes it.
  play_click $((32 * SPOT_COLUMN + 16)) $((32 * SPOT_ROW + 48))
  play_click 20 460
fi
# The quit menu, opened and closed again.
play_click 50 10
play_click 50 10

# The clock runs out; the end-of-game screen takes a name and sends it.
e2e_wait_for 240 e2e_shows "$WORK/scoreboard.png" 0 0 640 $LIST_TOP
e2e_key shift+m e m space shift+c h e c k
sleep 0.5
e2e_key Return
sleep 0.5
e2e_key Return
stored_name() {
  [ "$(sqlite3 "$DB" "SELECT count(*) FROM scores WHERE name = '$NAME'" 2>/dev/null)" = 1 ]
}
e2e_wait_for 30 stored_name
sleep 1
e2e_key Escape
app_wait_menu 0 60

# Game two: a building being placed, then "Quit to main menu".
e2e_key Return
e2e_wait_for 30 play_in_game
play_click 400 100 3
play_click 450 113
play_click 50 10
play_click 100 45
app_wait_menu 0 60

# "Quit" is above "Begin", wrapping. The leak check runs at exit.
e2e_key Up Return
e2e_wait_exit 120
if grep -E -q "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:" "$WORK/stderr"; then
  e2e_fail "sanitizer report"
fi
[ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
for f in temp.tmp tileinfo.tmp guifont.ttf; do
  [ ! -e "$WORK/game/$f" ] || e2e_fail "$f left in the game folder"
done
echo "memcheck whole game: no sanitizer report, no leak outside the suppressions"
