#!/usr/bin/env bash
# The game ended from outside, as a desktop ends it: SIGTERM on the title, a
# help page and the end-of-game screen, Ctrl+C (SIGINT) during a game, and the
# X display going away during a game. Each time the process is gone within 5 s,
# with status 0 and no scratch file left. (Every screen polls for the end the
# same way; each loop that polls is ended once, SIGTERM and SIGINT each once.)
#   endings.sh <game dir>
. "$(dirname "$0")/lib.sh"

e2e_setup "$1" 240
e2e_extract_pictures
preload=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$preload" ] || e2e_fail "no libfaketime at $preload"

# ends_cleanly [stderr line]: the game ends by itself within 5 s, as it does
# after "Quit", reporting nothing else.
ends_cleanly() {
  e2e_expect_clean_exit 5
  e2e_expect_stderr "$@"
}

e2e_step "SIGTERM on the title"
e2e_start --
e2e_window
e2e_wait_for 10 e2e_shows "$WORK/ref/start.png"
e2e_signal_game TERM
ends_cleanly

e2e_step "SIGINT in a game"
# A script's background job starts with SIGINT ignored, which the game keeps
# ignored; a terminal's foreground game has it at its default.
e2e_start perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV or die' --
e2e_to_menu
e2e_begin
e2e_signal_game INT
ends_cleanly

e2e_step "SIGTERM on a help page"
e2e_start --
e2e_to_menu
e2e_key Down Return
e2e_wait_for 30 e2e_shows_after_nudge "$WORK/ref/help1.png"
e2e_signal_game TERM
ends_cleanly

e2e_step "SIGTERM on the end-of-game screen"
# The clock jumps far ahead; the game counts one second a frame to its end.
echo "+0 x1" >"$WORK/clock"
e2e_start env LD_PRELOAD="$preload" FAKETIME_TIMESTAMP_FILE="$WORK/clock" FAKETIME_CACHE_DURATION=1 --
e2e_to_menu
e2e_begin
echo "+0 x1000" >"$WORK/clock"
e2e_wait_for 150 e2e_shows "$WORK/ref/scoreboard.png" 0 0 640 75
e2e_signal_game TERM
ends_cleanly

e2e_step "the display gone during a game"
e2e_start --
e2e_to_menu
e2e_begin
e2e_stop_xvfb
ends_cleanly "Lost the connection to the display."
