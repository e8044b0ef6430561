#!/usr/bin/env bash
# Started from another folder, by a relative path, the game still finds its
# data/ and writes its scratch files only into its own folder.
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"

e2e_setup "$1"
app_extract_pictures
# A decoy data/ in the starting folder: a game that read it would fail.
mkdir -p "$WORK/elsewhere/data"
echo "not a package" >"$WORK/elsewhere/data/gui.rkp"
echo "not a package" >"$WORK/elsewhere/data/sounds.rkp"
E2E_START_DIR="$WORK/elsewhere"
GAME=../game/quorvel
e2e_start --
e2e_window
e2e_key space
app_wait_menu 0 60
[ -e "$WORK/game/guifont.ttf" ] || e2e_fail "the font file is not in the game folder"
e2e_key Up Return
app_expect_clean_exit 60
app_expect_stderr
leftovers=$(ls -A "$WORK/elsewhere" | grep -v '^data$' || true)
[ -z "$leftovers" ] || e2e_fail "files written into the starting folder: $leftovers"
