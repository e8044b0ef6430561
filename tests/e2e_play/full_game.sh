#!/usr/bin/env bash
# One whole game to the end of its clock, the game's clock running a hundred
# times faster: 1440 counted seconds in about fifteen. Then the end-of-game
# screen, Escape back to the main menu, and "Quit".
#   full_game.sh <game dir>
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/../e2e_app/app_lib.sh"
. "$(dirname "$0")/play_lib.sh"

play_require_game "$1"
e2e_setup "$1"
play_extract_pictures
e2e_start faketime -f '+0 x100' --
e2e_window
play_begin
started=$(date +%s)

# The score board where no text is drawn on it: its top.
on_score_screen() {
  e2e_shows "$WORK/ref/scoreboard.png" 0 0 640 60
}

# Still playing a few seconds in (a few hundred game seconds).
sleep 3
play_in_game || e2e_fail "the game ended early"
on_score_screen && e2e_fail "the score screen came early"

e2e_wait_for 90 on_score_screen
elapsed=$(($(date +%s) - started))
[ $elapsed -ge 10 ] || e2e_fail "1440 game seconds took only $elapsed s at a hundred times speed"
e2e_running || e2e_fail "the program ended at the end of the clock"

e2e_key Escape
app_wait_menu 0 30
e2e_key Up Return
app_expect_clean_exit 30
app_expect_stderr
