#!/usr/bin/env bash
# "Begin" leads into a game and back: the menu returns on "Begin" with the
# music still playing, and the next "Begin" starts a new game. A failure
# inside a game is reported once and ends the program.
#   game.sh <game dir> play|broken-sound
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"
case_name=$2

e2e_setup "$1"
app_extract_pictures

# in_game: the window shows neither the title nor the menu.
in_game() {
  e2e_shot "$WORK/game.png" 2>/dev/null || return 1
  [ "$(app_menu_state "$WORK/game.png")" = none ] &&
    [ "$(e2e_differing "$WORK/game.png" "$WORK/ref/start.png")" != "0" ]
}

# peak_from <file> <byte offset>: the loudest 16-bit sample after the offset.
peak_from() {
  tail -c +$(($2 + 1)) "$1" | od -An -v -t d2 -w2 |
    awk '{ v = $1 < 0 ? -$1 : $1; if (v > peak) peak = v } END { print peak + 0 }'
}

case $case_name in
  play)
    export SDL_AUDIODRIVER=disk
    export SDL_DISKAUDIOFILE="$WORK/mixed.raw"
    e2e_start --
    e2e_window
    e2e_key space
    app_wait_menu 0 60
    e2e_key Return
    e2e_wait_for 60 in_game
    cp "$WORK/game.png" "$WORK/first_game.png"
    e2e_key Escape
    app_wait_menu 0 60
    # Two more seconds of output after the game: the music plays on.
    back_at=$(stat -c %s "$SDL_DISKAUDIOFILE")
    more_audio() { [ "$(stat -c %s "$SDL_DISKAUDIOFILE")" -ge $((back_at + 352800)) ]; }
    e2e_wait_for 60 more_audio
    peak=$(peak_from "$SDL_DISKAUDIOFILE" "$back_at")
    echo "music peak after the game: $peak"
    [ "$peak" -ge 500 ] || e2e_fail "no music after the game (peak $peak)"

    e2e_key Return
    e2e_wait_for 60 in_game
    # A fresh game draws a fresh map.
    [ "$(e2e_differing "$WORK/game.png" "$WORK/first_game.png" 0 32 640 448)" != "0" ] ||
      e2e_fail "the second game shows the first game's map"
    e2e_key Escape
    app_wait_menu 0 60
    e2e_key Up Return
    app_expect_clean_exit 60
    grep -v '^CRITICAL: .*\(disk i/o audio driver\|Writing to file\)' "$WORK/stderr" >"$WORK/stderr.game" || true
    mv "$WORK/stderr.game" "$WORK/stderr"
    app_expect_stderr
    ;;
  broken-sound)
    data="$WORK/game/data"
    mkdir -p "$WORK/sounds"
    members=()
    while read -r name size; do
      [ "$name" = pop.wav ] && continue
      "$RKP" extract "$data/sounds.rkp" "$name" "$WORK/sounds/$name" >/dev/null
      members+=("$name=$WORK/sounds/$name")
    done < <("$RKP" list "$data/sounds.rkp")
    "$RKP" pack --key 5 "$data/sounds.rkp" "${members[@]}" >/dev/null
    e2e_start --
    e2e_window
    e2e_key space
    app_wait_menu 0 60
    e2e_key Return
    # No menu again: the program ends after the one report.
    app_expect_clean_exit 60
    app_expect_stderr 'Failed to load file "pop.wav".' 'Not found inside package.'
    ;;
  *)
    e2e_fail "unknown case $case_name"
    ;;
esac
