#!/usr/bin/env bash
# Takes the README's pictures of the title and the main menu from the real
# game: take_screenshots.sh <game dir> <output folder>
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"
out=$(cd "$2" && pwd)

e2e_setup "$1"
app_extract_pictures
e2e_start "${APP_SLOW_CLOCK[@]}" --
e2e_window
e2e_wait_for 60 e2e_shows "$WORK/ref/start.png"
e2e_shot "$out/title.png"
e2e_key space
app_wait_menu 0 60
e2e_shot "$out/menu.png"
e2e_key Up Return
app_expect_clean_exit 60
