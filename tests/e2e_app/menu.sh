#!/usr/bin/env bash
# The main menu: the arrow keys move the highlight round the three words, the
# mouse does nothing, "Quit" ends the program after the full shut-down.
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"

e2e_setup "$1"
app_extract_pictures
e2e_start --
e2e_window
e2e_key space
app_wait_menu 0 60
[ -e "$WORK/game/guifont.ttf" ] || e2e_fail "no interface font file while the game runs"

e2e_key Up
app_wait_menu 2
e2e_key Down
app_wait_menu 0
e2e_key Down
app_wait_menu 1
e2e_key Down
app_wait_menu 2
e2e_key Up
app_wait_menu 1
e2e_key Up
app_wait_menu 0

# Clicks on the words, left and right buttons, choose nothing and move
# nothing: the Down that follows them still goes from "Begin" to "Help".
e2e_click 120 420 1
e2e_click 120 370 1
e2e_click 130 320 3
e2e_click 500 100 1
e2e_key Down
app_wait_menu 1
e2e_running || e2e_fail "a mouse click ended the program"

# Other keys, including the Return of the keypad and Escape, do nothing.
e2e_key Escape Left Right KP_Enter a
e2e_key Down
app_wait_menu 2
e2e_running || e2e_fail "a key other than Return chose an entry"

e2e_key Return
app_expect_clean_exit 60
app_expect_stderr
