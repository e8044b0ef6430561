#!/usr/bin/env bash
# Broken content and a missing screen: the exact reports on standard error, no
# crash, exit status 0, no scratch file left.
#   broken.sh <game dir> no-gui|bad-tag|bad-version|no-music-member|bad-music|no-video
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"
case_name=$2

e2e_setup "$1"
data="$WORK/game/data"

# repack_sounds <member=path...>: replaces data/sounds.rkp by a package of
# exactly these members.
repack_sounds() {
  "$RKP" pack --key 23 "$data/sounds.rkp" "$@" >/dev/null
}

# The members of sounds.rkp other than the music, extracted to $WORK/sounds.
sound_members_without_music() {
  mkdir -p "$WORK/sounds"
  local name size
  SOUND_MEMBERS=()
  while read -r name size; do
    [ "$name" = christmas.xm ] && continue
    "$RKP" extract "$data/sounds.rkp" "$name" "$WORK/sounds/$name" >/dev/null
    SOUND_MEMBERS+=("$name=$WORK/sounds/$name")
  done < <("$RKP" list "$data/sounds.rkp")
}

case $case_name in
  no-gui)
    rm "$data/gui.rkp"
    # Start-up fails at the font, the run at the title picture.
    expected=('Failed to load file "data/gui.rkp".' 'Read-mode opening failed.'
      'Failed to load file "data/gui.rkp".' 'Read-mode opening failed.')
    ;;
  bad-tag)
    # A valid version byte after a wrong tag: the tag is checked first.
    { printf 'RKQ'; tail -c +4 "$data/gui.rkp"; } >"$WORK/gui.rkp"
    mv "$WORK/gui.rkp" "$data/gui.rkp"
    expected=('Failed to load file "data/gui.rkp".' 'File is not RKP package file.'
      'Failed to load file "data/gui.rkp".' 'File is not RKP package file.')
    ;;
  bad-version)
    { printf 'RKP2'; tail -c +5 "$data/gui.rkp"; } >"$WORK/gui.rkp"
    mv "$WORK/gui.rkp" "$data/gui.rkp"
    expected=('Failed to load file "data/gui.rkp".' 'Wrong RKP package file version.'
      'Failed to load file "data/gui.rkp".' 'Wrong RKP package file version.')
    ;;
  no-music-member)
    sound_members_without_music
    repack_sounds "${SOUND_MEMBERS[@]}"
    # The font file is never written, so the menu cannot open it in its turn.
    expected=('Failed to load file "christmas.xm".' 'Not found inside package.'
      'Failed to load file "guifont.ttf".')
    ;;
  bad-music)
    sound_members_without_music
    head -c 5000 /dev/urandom >"$WORK/noise.xm"
    repack_sounds "${SOUND_MEMBERS[@]}" "christmas.xm=$WORK/noise.xm"
    expected=('Failed to load music!' 'Failed to load file "guifont.ttf".')
    ;;
  no-video)
    # No screen at all: start-up stops at the video, the run at the title
    # picture, which cannot be converted for a screen that does not exist.
    export SDL_VIDEODRIVER=nosuchdriver
    expected=('Failed to initialize SDL.' 'Failed to load file "temp.tmp".')
    ;;
  *)
    e2e_fail "unknown case $case_name"
    ;;
esac

e2e_start --
# Without its fonts or packages the game shows at most the title, which ends
# by itself; nothing is sent to it.
e2e_wait_exit 120
[ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
for f in guifont.ttf temp.tmp tileinfo.tmp; do
  [ ! -e "$WORK/game/$f" ] || e2e_fail "$f left in the game folder"
done

# The fixed lines must be there in order; where the reason comes from SDL
# (the font library's or the video driver's text) only its presence counts.
case $case_name in
  no-gui | bad-tag | bad-version | bad-music)
    if [ "$case_name" = bad-music ]; then
      [ "$(wc -l <"$WORK/stderr")" -eq 3 ] || e2e_fail "expected 3 report lines"
      [ "$(sed -n 1p "$WORK/stderr")" = "${expected[0]}" ] || e2e_fail "line 1: $(sed -n 1p "$WORK/stderr")"
      [ "$(sed -n 2p "$WORK/stderr")" = "${expected[1]}" ] || e2e_fail "line 2: $(sed -n 2p "$WORK/stderr")"
      [ -n "$(sed -n 3p "$WORK/stderr")" ] || e2e_fail "no reason given for the font"
    else
      app_expect_stderr "${expected[@]}"
    fi
    ;;
  no-music-member)
    [ "$(wc -l <"$WORK/stderr")" -eq 4 ] || e2e_fail "expected 4 report lines"
    for i in 0 1 2; do
      [ "$(sed -n "$((i + 1))p" "$WORK/stderr")" = "${expected[i]}" ] ||
        e2e_fail "line $((i + 1)): $(sed -n "$((i + 1))p" "$WORK/stderr")"
    done
    [ -n "$(sed -n 4p "$WORK/stderr")" ] || e2e_fail "no reason given for the font"
    ;;
  no-video)
    [ "$(wc -l <"$WORK/stderr")" -eq 4 ] || e2e_fail "expected 4 report lines"
    [ "$(sed -n 1p "$WORK/stderr")" = "${expected[0]}" ] || e2e_fail "line 1: $(sed -n 1p "$WORK/stderr")"
    [ -n "$(sed -n 2p "$WORK/stderr")" ] || e2e_fail "no reason given for the video"
    [ "$(sed -n 3p "$WORK/stderr")" = "${expected[1]}" ] || e2e_fail "line 3: $(sed -n 3p "$WORK/stderr")"
    [ -n "$(sed -n 4p "$WORK/stderr")" ] || e2e_fail "no reason given for the title picture"
    ;;
esac
