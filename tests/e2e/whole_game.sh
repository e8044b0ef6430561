#!/usr/bin/env bash
# The whole program: a game played with the mouse (the build and hire menu, an
# office, three elves hired, a woodworker staffed from the free-elves panel
# until wood comes in), paused and resumed, and run to the end of its clock,
# sped up; the end-of-game screen, where Tab shows the game's graph and back,
# and a name typed with a space (after a held Backspace cleared a first try)
# goes to the real score server and its list comes back;
# then a second game on a fresh map and the ways out of a game: Escape, the
# window's close button and "Quit to desktop". (Quitting to the main menu, the
# quit menu and the information panel are the play state's and the economy's
# unit tests.)
#   whole_game.sh <game dir> <score server> [LeakSanitizer suppressions | haproxy]
# With suppressions, the game is the sanitizer build's: the test also fails on
# any AddressSanitizer, LeakSanitizer or UndefinedBehaviorSanitizer report.
# With "haproxy", the score goes through HAProxy to two server instances on
# one PostgreSQL (tests/server/cluster.sh) instead of one server on SQLite.
# With E2E_SCREENSHOTS set to a folder, the game in progress is saved there.
. "$(dirname "$0")/lib.sh"
suppressions=${3:-}
LIST_TOP=75
ROW_HEIGHT=20

e2e_setup "$1" 540
e2e_extract_pictures
if [ "$suppressions" = haproxy ]; then
  suppressions=
  . "$(dirname "$0")/../server/cluster.sh"
  cluster_start "$2" "$WORK/cluster"
  PORT=$CLUSTER_PORT
  stored_scores() { "$pg_bin/psql" -qAtX "$DB_URI" -c "SELECT name || '|' || score FROM scores"; }
else
  e2e_start_server "$2"
  stored_scores() { sqlite3 "$DB" "SELECT name || '|' || score FROM scores"; }
fi

# The game's clock: real time while it is played, then 25 times as fast
# (libfaketime reads the file at most once a second).
echo "+0 x1" >"$WORK/clock"
libs=/usr/lib/x86_64-linux-gnu
preload="$libs/faketime/libfaketime.so.1"
[ -f "$preload" ] || e2e_fail "no libfaketime at $preload"
clock=(LD_PRELOAD="$preload" FAKETIME_TIMESTAMP_FILE="$WORK/clock" FAKETIME_CACHE_DURATION=1)
if [ -z "$suppressions" ]; then
  e2e_start env "${clock[@]}" -- -server "127.0.0.1:$PORT"
else
  [ -f "$suppressions" ] || e2e_fail "no suppressions file at $suppressions"
  # SDL 2 loads Mesa's software GL driver for its renderer and unloads it at
  # shut-down; the driver's few lasting blocks then sit in unmapped memory and
  # can be neither traced nor named. Loaded from the start, it stays mapped and
  # they are reachable, as they are in every run that ends without SDL_Quit.
  # The clock library is preloaded by hand, after the sanitizer runtime, which
  # the game links statically.
  [ -f "$libs/dri/swrast_dri.so" ] && clock[0]="LD_PRELOAD=$preload $libs/dri/swrast_dri.so"
  e2e_start env "${clock[@]}" \
    ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0:halt_on_error=1:detect_stack_use_after_return=1 \
    LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    -- -server "127.0.0.1:$PORT"
fi
e2e_to_menu
e2e_step "a game with orders"
e2e_begin
e2e_shot "$WORK/map0.png"

# cell_x <column>, cell_y <row>: the middle of a map cell on the screen.
cell_x() { echo $((32 * $1 + 16)); }
cell_y() { echo $((32 * $1 + 48)); }

# cells_around <column> <row>: the 49 map cells nearest to the given one,
# nearest first.
cells_around() {
  local c r
  for c in $(seq 0 19); do
    for r in $(seq 0 13); do
      echo "$(((c - $1) ** 2 + (r - $2) ** 2)) $c $r"
    done
  done | sort -s -n -k1,1 | head -n 49 | cut -d' ' -f2-
}

# changed <reference png> <x> <y> <width> <height>: the window differs there.
changed() {
  e2e_shot "$WORK/now.png" 2>/dev/null || return 1
  [ "$(e2e_differing "$WORK/now.png" "$@")" != "0" ]
}

# buy_near <menu y> <column> <row>: takes that entry of the build menu and
# clicks map cells around the one given until the money counter changes;
# sets SPOT (column and row). Which cells are free depends on the random map.
buy_near() {
  local column row
  e2e_shot "$WORK/before_buy.png"
  e2e_click 400 100 3
  e2e_click 450 "$1"
  while read -r column row; do
    e2e_click "$(cell_x "$column")" "$(cell_y "$row")"
    # A loaded machine may take a while to draw the bought building; a click
    # on it then would open its panel.
    for _ in 1 2 3 4 5 6; do
      if changed "$WORK/before_buy.png" 203 4 80 24; then
        SPOT=("$column" "$row")
        return 0
      fi
      sleep 0.2
    done
  done < <(cells_around "$2" "$3")
  e2e_fail "no free spot near $2,$3"
}

buy_near 113 4 8
office=("${SPOT[@]}")
# "Hire worker" into the office: the elf stands on it, the menu comes back.
e2e_shot "$WORK/before_hire.png"
e2e_click 400 100 3
e2e_click 450 257
e2e_click "$(cell_x "${office[0]}")" "$(cell_y "${office[1]}")"
e2e_wait_for 3 changed "$WORK/before_hire.png" $((32 * office[0])) $((32 * office[1] + 32)) 32 32
e2e_pixel_is 400 100 200 0 0 || e2e_fail "the menu is not back after hiring"
# A geologist and a carrier too.
for entry in 281 305; do
  e2e_click 450 $entry
  e2e_click "$(cell_x "${office[0]}")" "$(cell_y "${office[1]}")"
done
e2e_click 300 300 3

buy_near 137 "${office[@]}"
wood=("${SPOT[@]}")
# The free-elves panel from empty ground, its worker row, then the woodworker.
e2e_click 400 400
e2e_wait_for 3 e2e_pixel_is 400 404 200 0 0
e2e_click 500 442
e2e_click "$(cell_x "${wood[0]}")" "$(cell_y "${wood[1]}")"
e2e_wait_for 30 changed "$WORK/map0.png" 359 4 80 24

# The README's picture: the woodworker's information panel open.
e2e_click "$(cell_x "${wood[0]}")" "$(cell_y "${wood[1]}")"
[ -z "${E2E_SCREENSHOTS:-}" ] || e2e_shot "$E2E_SCREENSHOTS/game.png"

e2e_step "a pause"
# Paused, a curtain hides the map and nothing moves, whatever is clicked.
e2e_key p
sleep 0.5
e2e_shot "$WORK/paused.png"
[ "$(e2e_colour_count "$WORK/paused.png" 0 300 640 180 22 18 34)" = 115200 ] || e2e_fail "the map shows"
e2e_click 300 300 3
sleep 1
e2e_shows "$WORK/paused.png" || e2e_fail "the paused game changed"
[ -z "${E2E_SCREENSHOTS:-}" ] || cp "$WORK/paused.png" "$E2E_SCREENSHOTS/paused.png"
e2e_key Pause

e2e_step "waiting for the end of the clock"
# The clock jumps ahead; the game counts at most one second a frame, so it
# still ends through every second of its count.
echo "+0 x25" >"$WORK/clock"
# Above the list the end-of-game screen is nothing but its picture.
e2e_wait_for 300 e2e_shows "$WORK/ref/scoreboard.png" 0 0 640 $LIST_TOP

e2e_step "the end-of-game screen"
differs() { e2e_differing "$1" "$WORK/ref/scoreboard.png" "$2" "$3" "$4" "$5"; }
e2e_type_burst z e d
sleep 0.5
xdotool keydown --window "$WINDOW" BackSpace
sleep 1
xdotool keyup --window "$WINDOW" BackSpace
sleep 0.5
e2e_type_burst shift+a n n space shift+l e e
sleep 0.5
# Tab shows the game's graph on a board of its own and comes back to the name as it was.
e2e_shot "$WORK/named.png"
e2e_type_burst Tab
sleep 0.5
e2e_shot "$WORK/graph.png"
# Over the picture's sky and fir: most of the 84000 pixels are the board's.
[ "$(differs "$WORK/graph.png" 16 16 300 280)" -gt 60000 ] || e2e_fail "no graph"
[ -z "${E2E_SCREENSHOTS:-}" ] || cp "$WORK/graph.png" "$E2E_SCREENSHOTS/graph.png"
e2e_type_burst Tab
e2e_wait_for 5 e2e_shows "$WORK/named.png"
e2e_key Return
sleep 0.5
e2e_key Return
# The exchange runs inside the key's handling; the first frame after it no
# longer asks the question.
question_gone() { e2e_shot "$WORK/result.png" 2>/dev/null && [ "$(differs "$WORK/result.png" 0 300 390 60)" = 0 ]; }
e2e_wait_for 30 question_gone
sleep 0.5
e2e_shot "$WORK/result.png"
# A fresh server holds exactly this game's record, and its list shows it
# (where each text of the screen stands is the screen's unit test).
[ "$(differs "$WORK/result.png" 330 $LIST_TOP 180 $ROW_HEIGHT)" != 0 ] || e2e_fail "no name in the list"
[ "$(differs "$WORK/result.png" 520 $LIST_TOP 120 $ROW_HEIGHT)" != 0 ] || e2e_fail "no score in the list"
stored=$(stored_scores)
[[ "$stored" =~ ^Ann\ Lee\|[0-9]+$ ]] || e2e_fail "the server stored: $stored"
e2e_key Escape

e2e_step "ways out of a game"
# Escape and the window's close button lead back to the main menu; "Quit to
# desktop" ends the program.
e2e_begin
e2e_shot "$WORK/map1.png"
[ "$(e2e_differing "$WORK/map1.png" "$WORK/map0.png" 0 32 640 448)" != "0" ] ||
  e2e_fail "the second game shows the first game's map"
e2e_key Escape
e2e_begin
"$CLOSE_WINDOW" "$WINDOW"
e2e_begin
e2e_click 50 10
e2e_click 100 70
e2e_expect_clean_exit 120
if [ -n "$suppressions" ]; then
  ! grep -E "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:" "$WORK/stderr" >&2 ||
    e2e_fail "sanitizer report"
else
  e2e_expect_stderr
fi
