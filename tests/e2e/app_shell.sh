#!/usr/bin/env bash
# The application shell as a player meets it: the game started by a relative
# path from another folder (with a decoy data/ there), the title, the main
# menu, the four help pages and back, a game and back, the music heard through
# SDL's disk audio driver, and the close button on the menu ending the program
# cleanly with nothing written outside the game folder.
#   app_shell.sh <game dir>
# With E2E_SCREENSHOTS set to a folder, the menu is saved there.
. "$(dirname "$0")/lib.sh"

e2e_setup "$1"
e2e_extract_pictures
mkdir -p "$WORK/elsewhere/data"
echo "not a package" >"$WORK/elsewhere/data/gui.rkp"
echo "not a package" >"$WORK/elsewhere/data/sounds.rkp"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/mixed.raw"
E2E_START_DIR="$WORK/elsewhere"
GAME=../game/quorvel
e2e_start --
e2e_to_menu
[ -z "${E2E_SCREENSHOTS:-}" ] || e2e_shot "$E2E_SCREENSHOTS/menu.png"
[ -e "$WORK/game/guifont.ttf" ] || e2e_fail "no interface font file in the game folder while the game runs"

# Which keys move the highlight, and that nothing else does, is the menu's
# unit test; here the real window's arrow lights "Help".
e2e_key Down
e2e_wait_menu 1

e2e_step "help pages"
# Help: a page per key, the last one a box over page 3; the menu comes back on
# "Begin".
e2e_key Return
for page in help1 help2 help3 page4; do
  e2e_wait_for 30 e2e_shows_after_nudge "$WORK/ref/$page.png"
  e2e_key space
done
e2e_wait_menu 0

# Two seconds of 16-bit stereo at 44100 Hz from here on: the music plays, and
# goes on after a game.
peak_after() {
  tail -c +$(($1 + 1)) "$SDL_DISKAUDIOFILE" | od -An -v -t d2 -w2 |
    awk '{ v = $1 < 0 ? -$1 : $1; if (v > peak) peak = v } END { print peak + 0 }'
}
audio_written_after() { [ "$(stat -c %s "$SDL_DISKAUDIOFILE")" -ge $(($1 + 352800)) ]; }
e2e_step "a game and the music"
e2e_begin
e2e_key Escape
e2e_wait_menu 0
mark=$(stat -c %s "$SDL_DISKAUDIOFILE")
e2e_wait_for 60 audio_written_after "$mark"
peak=$(peak_after "$mark")
echo "music peak amplitude after a game: $peak"
[ "$peak" -ge 500 ] || e2e_fail "no music after a game (peak $peak)"

# The close button on the menu (a WM_DELETE_WINDOW message: the test X
# server runs no window manager) quits, as "Quit" does.
"$CLOSE_WINDOW" "$WINDOW"
e2e_expect_clean_exit 60
e2e_expect_stderr
leftovers=$(ls -A "$WORK/elsewhere" | grep -v '^data$' || true)
[ -z "$leftovers" ] || e2e_fail "files written into the starting folder: $leftovers"
