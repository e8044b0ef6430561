# shellcheck shell=bash
# Helpers shared by the game's end-to-end scripts. Source after ../e2e/lib.sh
# and ../e2e_app/app_lib.sh.

# play_require_game <game dir>: skips the test (status 77) while the game or
# its packages have not been built yet.
play_require_game() {
  local f
  for f in quorvel data/gui.rkp data/sounds.rkp data/buildings.rkp data/elves.rkp data/tiles.rkp; do
    if [ ! -e "$1/$f" ]; then
      echo "SKIP: $1/$f has not been built" >&2
      exit 77
    fi
  done
}

# play_extract_pictures: the main menu references (app_lib) plus the two top
# bars and the score board, from the game's own packages.
play_extract_pictures() {
  app_extract_pictures
  local m
  for m in topbar.png topbar_down.png scoreboard.png; do
    e2e_member data/gui.rkp "$m" "$WORK/ref/$m"
  done
}

# The part of the top bar left of the money counter: the quit button.
PLAY_BAR=(0 0 200 32)

# play_in_game [down]: true when the window shows the top bar, normal or pressed.
play_in_game() {
  local picture=topbar.png
  [ "${1:-}" = down ] && picture=topbar_down.png
  e2e_shows "$WORK/ref/$picture" "${PLAY_BAR[@]}"
}

# play_begin: from the title or the main menu into a new game.
play_begin() {
  app_wait_menu 0 60
  e2e_key Return
  e2e_wait_for 30 play_in_game
}

# play_pointer <x> <y>: moves the pointer without clicking.
play_pointer() {
  xdotool mousemove --window "$WINDOW" "$1" "$2"
}

# play_cell_red <png> <column> <row>: pure red pixels in one map cell.
play_cell_red() {
  e2e_colour_count "$1" $((32 * $2)) $((32 * ($3 + 1))) 32 32 255 0 0
}

# play_dark_red_message <png>: dark red pixels on the message line.
play_dark_red_message() {
  e2e_colour_count "$1" 0 60 640 30 128 0 0
}

# play_message_shown: a message is on the line now.
play_message_shown() {
  e2e_shot "$WORK/message.png" 2>/dev/null || return 1
  [ "$(play_dark_red_message "$WORK/message.png")" -gt 20 ]
}

# play_try_spot <column> <row> <map png>: with a 1 x 1 building being placed,
# points at the cell and watches the blinking preview for a second. True when
# the preview showed without its red cross; false when the cross showed.
play_try_spot() {
  local column=$1 row=$2 map=$3 base i red shown=0
  base=$(play_cell_red "$map" "$column" "$row")
  play_pointer $((32 * column + 16)) $((32 * row + 48))
  sleep 0.2
  for i in 1 2 3 4; do
    e2e_shot "$WORK/spot.png"
    red=$(play_cell_red "$WORK/spot.png" "$column" "$row")
    [ $((red - base)) -gt 60 ] && return 1
    if [ "$(e2e_differing "$WORK/spot.png" "$map" $((32 * column)) $((32 * row + 32)) 32 32)" != "0" ]; then
      shown=1
    fi
    sleep 0.2
  done
  [ $shown -eq 1 ]
}

# play_place <map png> <cell...>: tries the cells ("column,row") in turn and
# clicks the first valid one; sets SPOT_COLUMN and SPOT_ROW.
play_place() {
  local map=$1 cell
  shift
  for cell in "$@"; do
    if play_try_spot "${cell%,*}" "${cell#*,}" "$map"; then
      SPOT_COLUMN=${cell%,*}
      SPOT_ROW=${cell#*,}
      play_click $((32 * SPOT_COLUMN + 16)) $((32 * SPOT_ROW + 48))
      return 0
    fi
  done
  e2e_fail "no free spot among $*"
}

# play_cells_around <column> <row>: map cells ordered by their distance from
# the given one, the cell itself first.
play_cells_around() {
  local c r d
  for d in 0 1 2 3 4 5; do
    for c in $(seq $(($1 - d)) $(($1 + d))); do
      for r in $(seq $(($2 - d)) $(($2 + d))); do
        if [ "$c" -lt 0 ] || [ "$c" -ge 20 ] || [ "$r" -lt 0 ] || [ "$r" -ge 14 ]; then
          continue
        fi
        local dc=$((c - $1)) dr=$((r - $2))
        [ ${dc#-} -eq $d ] || [ ${dr#-} -eq $d ] || continue
        echo "$c,$r"
      done
    done
  done
}

# play_click <x> <y> [button]: points, lets a frame draw the menus and panels
# under the pointer (the hover is computed while drawing), then clicks.
play_click() {
  play_pointer "$1" "$2"
  sleep 0.25
  xdotool click --window "$WINDOW" "${3:-1}"
  sleep 0.25
}

# play_pixel_is <x> <y> <r> <g> <b>: the window shows that colour there now.
play_pixel_is() {
  e2e_shot "$WORK/pixel.png" 2>/dev/null || return 1
  [ "$(e2e_pixel "$WORK/pixel.png" "$1" "$2")" = "$3 $4 $5" ]
}
