#!/usr/bin/env bash
# Settings that stay and the screen-wide keys, as a player meets them under a
# window manager: at -scale 2 Alt+Enter fills the display and the pointer still
# meets the right cells, M and F12 act, and every change is in the settings
# file at once. The next start without options remembers scale, full screen
# and sound. A broken file is reported in one line and left as it was.
#   settings.sh <game dir>
. "$(dirname "$0")/lib.sh"

e2e_setup "$1" 200
e2e_extract_pictures
E2E_SCREEN=1600x1200x24
SETTINGS="$XDG_CONFIG_HOME/quorvel/settings.ini"
# The harness sees the window in game coordinates, whatever its scale.
e2e_shot() {
  import -window "$WINDOW" "$WORK/whole.png" && convert "$WORK/whole.png" -sample '640x480!' "$1"
}
is_size() { [ "$(xdotool getwindowgeometry "$WINDOW" | sed -n 's/.*Geometry: //p')" = "$1" ]; }
saved() { grep -qx "$1" "$SETTINGS"; }
shot_saved() { compgen -G "$XDG_PICTURES_DIR/Quorvel/quorvel-*.png" >/dev/null; }
start_with_window_manager() {
  E2E_WINDOW_MANAGER=1 e2e_start -- "$@"
  e2e_to_menu
}

e2e_step "Alt+Enter, M and F12 at -scale 2"
start_with_window_manager -scale 2
is_size 1280x960 || e2e_fail "the window is not 1280 x 960"
e2e_key alt+Return
e2e_wait_for 20 is_size 1600x1200
e2e_wait_menu 0 20
e2e_wait_for 20 saved "fullscreen = true"
saved "scale = 2" || e2e_fail "the scale was not saved with full screen"
e2e_key m
e2e_wait_for 20 saved "music = false"
saved "effects = false" || e2e_fail "M left the sound effects on"
e2e_key F12
e2e_wait_for 20 shot_saved
shot=$(ls "$XDG_PICTURES_DIR"/Quorvel/quorvel-*.png)
[ "$(e2e_differing "$shot" "$WORK/ref/start_menu.png" 360 0 280 480)" = 0 ] || e2e_fail "the screenshot is not the menu"
e2e_begin
e2e_click 1000 250 3
e2e_wait_for 3 e2e_pixel_is 400 100 200 0 0
e2e_signal_game TERM
e2e_expect_clean_exit 5

e2e_step "the next start remembers"
start_with_window_manager
e2e_wait_for 20 is_size 1600x1200
e2e_key alt+Return
e2e_wait_for 20 is_size 1280x960
e2e_wait_for 20 saved "fullscreen = false"
saved "music = false" || e2e_fail "the sound setting was not kept"
e2e_signal_game TERM
e2e_expect_clean_exit 5
e2e_expect_stderr

e2e_step "a broken file"
printf '[video]\nscale = 9\n' >"$SETTINGS"
cp "$SETTINGS" "$WORK/broken.ini"
e2e_start --
e2e_to_menu
is_size 640x480 || e2e_fail "a broken file did not give the defaults"
e2e_signal_game TERM
e2e_expect_clean_exit 5
e2e_expect_stderr "Ignoring the settings file \"$SETTINGS\": line 2: scale must be 1 to 4."
cmp -s "$SETTINGS" "$WORK/broken.ini" || e2e_fail "the broken file was overwritten"
