#!/usr/bin/env bash
# The two panels in the real game: a click on bare ground near the bottom-right
# corner opens the free-elves panel pushed back onto the screen, its worker row
# lights up under the pointer, a click outside closes it; a bought office opens
# its information panel one tile right of and below itself.
#   panels_e2e.sh <game dir>
. "$(dirname "$0")/../e2e/lib.sh"
e2e_setup "$1"
e2e_member data/gui.rkp start_menu.png "$WORK/start_menu.png"

# Moves first so that the frame under the click has drawn the hover state.
click() {
  xdotool mousemove --window "$WINDOW" "$1" "$2"
  sleep 0.2
  xdotool click "${3:-1}"
  sleep 0.3
}

colour_is() {
  e2e_shot "$WORK/now.png" 2>/dev/null && [ "$(e2e_pixel "$WORK/now.png" "$1" "$2")" = "$3" ]
}

e2e_start --
e2e_window
e2e_wait_for 60 e2e_shows "$WORK/start_menu.png" 360 0 280 480
e2e_key Return
sleep 1.5

# No building stands yet, so any map click opens the free-elves panel.
click 600 450
e2e_wait_for 10 colour_is 430 404 "200 0 0"
colour_is 432 406 "200 0 0" || e2e_fail "border not three pixels thick"
colour_is 433 407 "128 0 0" || e2e_fail "no panel body"
colour_is 429 404 "200 0 0" && e2e_fail "panel not at x 430"
colour_is 440 404 "200 0 0" || e2e_fail "panel not at y 404"
xdotool mousemove --window "$WINDOW" 600 440
e2e_wait_for 10 colour_is 635 440 "180 0 0"
colour_is 635 465 "128 0 0" || e2e_fail "carrier row lit as well"
[ "$(e2e_colour_count "$WORK/now.png" 437 411 190 60 217 217 217)" -gt 0 ] || e2e_fail "no panel text"
click 100 100
e2e_wait_for 10 eval '! colour_is 430 404 "200 0 0"'

# Buy an office on the first free cell of a row of candidates: on a valid spot
# the first click buys, and the second then opens the office's panel.
bought=
for column in 3 5 7 9 11 13 15; do
  row=6
  x=$((32 * column + 16))
  y=$((32 * (row + 1) + 16))
  click 100 100 3
  click 110 115
  click $x $y
  click $x $y
  # The panel's top edge, not its left one, so that its height is checked too.
  if colour_is $((32 * (column + 1) + 20)) $((32 * (row + 2))) "200 0 0"; then
    bought=$column
    break
  fi
  # Still placing on a blocked cell: the next right press drops the preview.
  click 20 460 3
  click 20 460 3
done
[ -n "$bought" ] || e2e_fail "no office could be placed"
px=$((32 * (bought + 1)))
py=$((32 * 8))
[ $bought -ge 13 ] && px=430
colour_is $((32 * bought)) $((32 * 7)) "200 0 0" || e2e_fail "no frame around the office"
colour_is $((px + 3)) $((py + 3)) "128 0 0" || e2e_fail "no information panel body"
[ "$(e2e_colour_count "$WORK/now.png" $((px + 7)) $((py + 7)) 190 70 217 217 217)" -gt 0 ] ||
  e2e_fail "no information panel text"
click $((px + 100)) $((py + 100))
colour_is $((px + 3)) $((py + 3)) "128 0 0" || e2e_fail "a click inside closed the panel"
click 20 460
e2e_wait_for 10 eval '! colour_is '"$((px + 3)) $((py + 3))"' "128 0 0"'

# Leave through the quit menu's "Quit to desktop".
click 70 14
click 100 75
e2e_wait_exit 20
[ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
echo "panels_e2e: passed"
