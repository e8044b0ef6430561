#!/usr/bin/env bash
# The game on a large screen: at -scale 2 the window is 1280 x 960, every game
# pixel a sharp 2 x 2 block, the picture halved equals the 640 x 480 window's,
# and a right click at window point (2x, 2y) opens the build menu at game point
# (x, y). A full screen shows no colour the picture does not hold (no blur).
#   scale.sh <game dir>
# With E2E_SCREENSHOTS set to a folder, the 2x main menu is saved there.
. "$(dirname "$0")/lib.sh"

e2e_setup "$1" 180
e2e_extract_pictures
E2E_SCREEN=1600x1200x24

e2e_step "the 640 x 480 window"
e2e_start --
e2e_to_menu
e2e_shot "$WORK/menu1.png"

e2e_step "twice as large"
# From here on the harness sees the window halved, in game coordinates.
e2e_shot() {
  import -window "$WINDOW" "$WORK/whole.png" && convert "$WORK/whole.png" -sample 50% "$1"
}
e2e_start -- -scale 2
e2e_to_menu
e2e_shot "$WORK/menu2.png"
[ "$(identify -format '%wx%h' "$WORK/whole.png")" = 1280x960 ] || e2e_fail "the window is not 1280 x 960"
[ "$(e2e_differing "$WORK/menu2.png" "$WORK/menu1.png")" = 0 ] || e2e_fail "the halved window differs from 1x"
convert "$WORK/menu2.png" -sample 200% "$WORK/blocks.png"
[ "$(e2e_differing "$WORK/whole.png" "$WORK/blocks.png")" = 0 ] || e2e_fail "game pixels are not sharp 2 x 2 blocks"
[ -z "${E2E_SCREENSHOTS:-}" ] || cp "$WORK/whole.png" "$E2E_SCREENSHOTS/menu-2x.png"

# The pointer is mapped back: a right click at window point (800, 200) opens
# the build menu at game point (400, 100).
e2e_begin
e2e_click 800 200 3
e2e_wait_for 3 e2e_pixel_is 400 100 200 0 0

e2e_step "full screen"
# Without a window manager the window keeps its size and shows a part of the
# scaled picture; every colour there must still be one of the picture's own.
colours() { convert "$@" -alpha off -depth 8 +append -unique-colors txt:- | sed -n 's/.*\(#[0-9A-F]\{6\}\).*/\1/p' | sort -u; }
colours "$WORK/menu1.png" xc:black >"$WORK/palette.txt"
full_screen_menu() {
  import -window root "$WORK/full.png" 2>/dev/null && colours "$WORK/full.png" | grep -qx '#FF8080'
}
E2E_SCREEN=1280x720x24
e2e_start -- -fullscreen
e2e_window
e2e_key x
e2e_wait_for 30 full_screen_menu
blended=$(colours "$WORK/full.png" | comm -23 - "$WORK/palette.txt" | wc -l)
[ "$blended" = 0 ] || e2e_fail "$blended colours of the full screen are not the picture's: blurred"
