#!/usr/bin/env bash
# The help screens: one page per burst of key presses, a page drawn only when
# an event arrives, the box centred over page 3 on page 4, the close button
# ignored, and the menu back on "Begin" afterwards.
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"

e2e_setup "$1"
app_extract_pictures

# A press and its release often arrive together and are both taken on the old
# page; the new page then waits for an event to be drawn. Pointer motion is
# such an event and turns no page.
nudge_x=20
shows_after_nudge() {
  nudge_x=$((nudge_x % 600 + 7))
  xdotool mousemove --window "$WINDOW" $nudge_x 40
  e2e_shows "$@"
}
e2e_start --
e2e_window
e2e_key space
app_wait_menu 0 60
e2e_key Down
app_wait_menu 1
# The release of Return is the first event on page 1 and draws it.
e2e_key Return
e2e_wait_for 30 e2e_shows "$WORK/ref/help1.png"

# Three key presses waiting together in the queue turn one page only. The
# game is held still while they are sent so that it reads them in one go.
kill -STOP "$GAME_PID"
e2e_key a b c
kill -CONT "$GAME_PID"
sleep 2
# Page 2 is up now but not drawn before the next event arrives.
e2e_shows "$WORK/ref/help1.png" || e2e_fail "a page was drawn without an event"
e2e_wait_for 30 shows_after_nudge "$WORK/ref/help2.png"

e2e_key d
e2e_wait_for 30 shows_after_nudge "$WORK/ref/help3.png"

# The close button does nothing on the help screens.
e2e_close
sleep 1
e2e_running || e2e_fail "closing the window on the help screens ended the program"
e2e_shows "$WORK/ref/help3.png" || e2e_fail "closing the window turned the page"

e2e_key e
e2e_wait_for 30 shows_after_nudge "$WORK/ref/page4.png"
# The box itself is there, not only page 3 around it.
e2e_shot "$WORK/page4_shot.png"
box_x=$((320 - APP_BOX_W / 2))
box_y=$((240 - APP_BOX_H / 2))
[ "$(e2e_differing "$WORK/page4_shot.png" "$WORK/ref/help3.png" $box_x $box_y $APP_BOX_W $APP_BOX_H)" != "0" ] ||
  e2e_fail "page 4 shows no box"

# A key on page 4 leaves the help: the menu is back with "Begin" highlighted,
# not "Help", the entry chosen last.
e2e_key f
app_wait_menu 0
e2e_key Up Return
app_expect_clean_exit 60
app_expect_stderr
