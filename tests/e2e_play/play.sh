#!/usr/bin/env bash
# A game played with the mouse: the build and hire menu, an office placed on
# free ground, a worker hired into it, a woodworker placed and staffed until
# the wood counter rises, an information panel, the quit menu; then Escape,
# the window's close button and "Quit to desktop".
#   play.sh <game dir>
# With PLAY_SCREENSHOT set, the picture of the game in progress is copied there.
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/../e2e_app/app_lib.sh"
. "$(dirname "$0")/play_lib.sh"

play_require_game "$1"
e2e_setup "$1"
play_extract_pictures
e2e_start --
e2e_window
e2e_key space
play_begin
sleep 0.5
e2e_shot "$WORK/map0.png"

# The build and hire menu opens at the pointer: red frame, dark red body.
play_click 400 100 3
e2e_shot "$WORK/menu.png"
[ "$(e2e_pixel "$WORK/menu.png" 400 100)" = "200 0 0" ] || e2e_fail "no menu frame at the pointer"
[ "$(e2e_pixel "$WORK/menu.png" 402 318)" = "200 0 0" ] || e2e_fail "the menu frame is not 210 x 220"
[ "$(e2e_pixel "$WORK/menu.png" 605 315)" = "128 0 0" ] || e2e_fail "no dark red menu body"

# "Build office", then the first free cell near (4, 8).
play_click 450 113
e2e_wait_for 3 play_in_game
mapfile -t cells < <(play_cells_around 4 8)
play_place "$WORK/map0.png" "${cells[@]}"
OFFICE_COLUMN=$SPOT_COLUMN
OFFICE_ROW=$SPOT_ROW
e2e_wait_for 2 play_message_shown
e2e_shot "$WORK/bought.png"
[ "$(e2e_differing "$WORK/bought.png" "$WORK/map0.png" 203 4 80 24)" != "0" ] ||
  e2e_fail "the money did not change on buying the office"

# "Hire worker": the prompt, then the office takes the elf.
e2e_shot "$WORK/map1.png"
play_click 400 100 3
play_click 450 257
e2e_wait_for 2 play_message_shown
play_click $((32 * OFFICE_COLUMN + 16)) $((32 * OFFICE_ROW + 48))
e2e_wait_for 2 play_message_shown
e2e_shot "$WORK/hired.png"
[ "$(e2e_differing "$WORK/hired.png" "$WORK/map1.png" $((32 * OFFICE_COLUMN)) $((32 * OFFICE_ROW + 32)) 32 32)" != "0" ] ||
  e2e_fail "no elf on the office"
[ "$(e2e_pixel "$WORK/hired.png" 400 100)" = "200 0 0" ] || e2e_fail "the menu is not back after hiring"

# Close the menu, then "Build woodworker" next to the office.
play_click 300 300 3
e2e_shot "$WORK/map2.png"
play_click 400 100 3
play_click 450 137
mapfile -t cells < <(play_cells_around "$OFFICE_COLUMN" "$OFFICE_ROW" | tail -n +2)
play_place "$WORK/map2.png" "${cells[@]}"
WOOD_COLUMN=$SPOT_COLUMN
WOOD_ROW=$SPOT_ROW
e2e_wait_for 2 play_message_shown

# The free-elves panel from empty ground, its worker row, the woodworker.
play_click 400 400
e2e_wait_for 3 play_pixel_is 400 404 200 0 0
play_click 500 442
e2e_wait_for 2 play_message_shown
play_click $((32 * WOOD_COLUMN + 16)) $((32 * WOOD_ROW + 48))
e2e_wait_for 2 play_message_shown

wood_rose() {
  e2e_shot "$WORK/wood.png" 2>/dev/null || return 1
  [ "$(e2e_differing "$WORK/wood.png" "$WORK/map0.png" 359 4 80 24)" != "0" ]
}
e2e_wait_for 60 wood_rose

# The woodworker's information panel: one tile right of and below it.
panel_x=$((32 * (WOOD_COLUMN + 1)))
panel_y=$((32 * (WOOD_ROW + 2)))
[ $((panel_x + 210)) -gt 640 ] && panel_x=430
[ $((panel_y + 146)) -gt 480 ] && panel_y=334
play_click $((32 * WOOD_COLUMN + 16)) $((32 * WOOD_ROW + 48))
e2e_wait_for 3 play_pixel_is $panel_x $panel_y 200 0 0
e2e_wait_for 3 play_pixel_is $((panel_x + 205)) $((panel_y + 140)) 128 0 0
if [ -n "${PLAY_SCREENSHOT:-}" ]; then
  cp "$WORK/pixel.png" "$PLAY_SCREENSHOT"
fi
if [ "$WOOD_COLUMN" -lt 10 ]; then far_x=600; else far_x=20; fi
play_click $far_x 460
e2e_shot "$WORK/closed.png"
[ "$(e2e_differing "$WORK/closed.png" "$WORK/map2.png" $((panel_x + 100)) $((panel_y + 100)) 100 40)" = "0" ] ||
  e2e_fail "the information panel did not close"

# The quit menu: the pressed button exactly while it is open.
play_click 50 10
e2e_wait_for 3 play_in_game down
e2e_wait_for 3 play_pixel_is 6 50 200 0 0
play_click 50 10
e2e_wait_for 3 play_in_game
play_click 50 10
play_click 100 45
app_wait_menu 0 30

# Escape and the window's close button lead back to the main menu.
play_begin
e2e_key Escape
app_wait_menu 0 30
play_begin
e2e_close
app_wait_menu 0 30
e2e_running || e2e_fail "closing the window during play ended the program"

play_begin
play_click 50 10
play_click 100 70
app_expect_clean_exit 30
app_expect_stderr
