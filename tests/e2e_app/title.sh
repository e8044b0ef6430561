#!/usr/bin/env bash
# The title picture: what ends it and what does not. The main menu follows in
# every case.
#   title.sh <game dir> key|close|click|timeout
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"
case_name=$2

e2e_setup "$1"
app_extract_pictures

case $case_name in
  key)
    e2e_start "${APP_SLOW_CLOCK[@]}" --
    e2e_window
    e2e_wait_for 60 e2e_shows "$WORK/ref/start.png"
    e2e_key x
    app_wait_menu 0 60
    e2e_key Up Return
    app_expect_clean_exit 60
    ;;
  click)
    e2e_start "${APP_SLOW_CLOCK[@]}" --
    e2e_window
    e2e_wait_for 60 e2e_shows "$WORK/ref/start.png"
    e2e_click 320 240 1
    e2e_click 110 310 1
    e2e_click 600 40 3
    xdotool mousemove --window "$WINDOW" 20 20 mousemove --window "$WINDOW" 400 300
    # A key now ends the title: had a click ended it, the menu would already be
    # up and the key, a Down arrow, would have moved its highlight to "Help".
    sleep 2
    e2e_shows "$WORK/ref/start.png" || e2e_fail "the title ended on a mouse click"
    e2e_key Down
    app_wait_menu 0 60
    e2e_key Up Return
    app_expect_clean_exit 60
    ;;
  close)
    e2e_start "${APP_SLOW_CLOCK[@]}" --
    e2e_window
    e2e_wait_for 60 e2e_shows "$WORK/ref/start.png"
    e2e_close
    app_wait_menu 0 60
    e2e_running || e2e_fail "closing the window on the title ended the program"
    # Closing the window on the menu ends the program as "Quit" does.
    e2e_close
    app_expect_clean_exit 60
    ;;
  timeout)
    # A quarter-speed clock keeps the 3000 ms title up long enough to be seen
    # on a busy machine; nothing is sent to the game.
    e2e_start faketime -f '+0 x0.25' --
    e2e_window
    e2e_wait_for 60 e2e_shows "$WORK/ref/start.png"
    app_wait_menu 0 120
    e2e_close
    app_expect_clean_exit 60
    ;;
  *)
    e2e_fail "unknown case $case_name"
    ;;
esac
app_expect_stderr
