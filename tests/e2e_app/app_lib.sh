# Helpers shared by the application shell's end-to-end scripts. Source after
# ../e2e/lib.sh and e2e_setup.

# The three menu words: top-left corners and a box that holds each one.
APP_MENU_X=100
APP_MENU_Y=(300 350 400)
APP_WORD_WIDTH=240
APP_WORD_HEIGHT=50

# app_extract_pictures: the pictures the game shows, taken from its packages
# into $WORK/ref, so that screenshots are compared with the real content.
app_extract_pictures() {
  mkdir -p "$WORK/ref"
  local m
  for m in start.png start_menu.png help1.png help2.png help3.png helpbox.png; do
    e2e_member data/gui.rkp "$m" "$WORK/ref/$m"
  done
  # Page 4: page 3 with the box centred on it, white parts of the box clear.
  local w h
  w=$(identify -format '%w' "$WORK/ref/helpbox.png")
  h=$(identify -format '%h' "$WORK/ref/helpbox.png")
  convert "$WORK/ref/help3.png" -alpha off -depth 8 \
    \( "$WORK/ref/helpbox.png" -alpha off -depth 8 -transparent white \) \
    -geometry "+$((320 - w / 2))+$((240 - h / 2))" -composite -alpha off "$WORK/ref/page4.png"
  APP_BOX_W=$w
  APP_BOX_H=$h
  # Counts of the word colours in the menu picture itself, per word box.
  APP_BG_LIGHT=()
  APP_BG_RED=()
  local i
  for i in 0 1 2; do
    APP_BG_LIGHT[i]=$(e2e_colour_count "$WORK/ref/start_menu.png" $APP_MENU_X "${APP_MENU_Y[i]}" \
      $APP_WORD_WIDTH $APP_WORD_HEIGHT 255 128 128)
    APP_BG_RED[i]=$(e2e_colour_count "$WORK/ref/start_menu.png" $APP_MENU_X "${APP_MENU_Y[i]}" \
      $APP_WORD_WIDTH $APP_WORD_HEIGHT 255 0 0)
  done
}

# app_menu_state <png>: prints the highlighted entry (0 Begin, 1 Help, 2 Quit)
# when the picture is the main menu with exactly that word in light red and
# the other two in red; prints "none" otherwise.
app_menu_state() {
  local shot=$1 i light red highlighted=none plain=0
  # Away from the words the screen is the menu picture.
  if [ "$(e2e_differing "$shot" "$WORK/ref/start_menu.png" 360 0 280 480)" != "0" ]; then
    echo none
    return
  fi
  for i in 0 1 2; do
    light=$(($(e2e_colour_count "$shot" $APP_MENU_X "${APP_MENU_Y[i]}" $APP_WORD_WIDTH $APP_WORD_HEIGHT \
      255 128 128) - APP_BG_LIGHT[i]))
    red=$(($(e2e_colour_count "$shot" $APP_MENU_X "${APP_MENU_Y[i]}" $APP_WORD_WIDTH $APP_WORD_HEIGHT \
      255 0 0) - APP_BG_RED[i]))
    if [ $light -gt 100 ] && [ $red -le 0 ]; then
      [ "$highlighted" = none ] || { echo none; return; }
      highlighted=$i
    elif [ $red -gt 100 ] && [ $light -le 0 ]; then
      plain=$((plain + 1))
    fi
  done
  if [ "$highlighted" != none ] && [ $plain -eq 2 ]; then
    echo "$highlighted"
  else
    echo none
  fi
}

# app_menu_is <entry>: true when the game window shows the menu with that
# entry highlighted.
app_menu_is() {
  e2e_shot "$WORK/menu.png" 2>/dev/null || return 1
  [ "$(app_menu_state "$WORK/menu.png")" = "$1" ]
}

# app_wait_menu <entry> [seconds]: waits until the menu shows that entry
# highlighted.
app_wait_menu() {
  e2e_wait_for "${2:-30}" app_menu_is "$1"
}

# app_expect_clean_exit [seconds]: the game ends with status 0, leaving no
# scratch file in its folder.
app_expect_clean_exit() {
  e2e_wait_exit "${1:-30}"
  [ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
  local f
  for f in guifont.ttf temp.tmp tileinfo.tmp; do
    [ ! -e "$WORK/game/$f" ] || e2e_fail "$f left in the game folder"
  done
}

# app_expect_stderr <line...>: standard error is exactly these lines.
app_expect_stderr() {
  local expected="$WORK/expected_stderr"
  if [ $# -eq 0 ]; then
    : >"$expected"
  else
    printf '%s\n' "$@" >"$expected"
  fi
  if ! diff -u "$expected" "$WORK/stderr" >&2; then
    e2e_fail "unexpected standard error"
  fi
}

# A clock that runs at 1/50 of real speed: the title's 3000 ms then last
# 150 s, far longer than any check that the title is still up needs.
APP_SLOW_CLOCK=(faketime -f '+0 x0.02')
