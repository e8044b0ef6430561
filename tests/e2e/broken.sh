#!/usr/bin/env bash
# Broken content and a missing screen: the exact reports on standard error, no
# crash, exit status 0, no scratch file left. Where a report line's reason
# comes from a library (the font's or the video driver's text), the expected
# line is "*".
#   broken.sh <game dir> no-gui|no-music-member|bad-music|no-video|no-sound-member
. "$(dirname "$0")/lib.sh"
case_name=$2

e2e_setup "$1"
data="$WORK/game/data"

# repack_sounds_without <member> [member=path...]: sounds.rkp without that
# member, plus the given ones.
repack_sounds_without() {
  local left_out=$1 name size members=()
  shift
  mkdir -p "$WORK/sounds"
  while read -r name size; do
    [ "$name" = "$left_out" ] && continue
    "$RKP" extract "$data/sounds.rkp" "$name" "$WORK/sounds/$name" >/dev/null
    members+=("$name=$WORK/sounds/$name")
  done < <("$RKP" list "$data/sounds.rkp")
  "$RKP" pack --key 23 "$data/sounds.rkp" "${members[@]}" "$@" >/dev/null
}

case $case_name in
  no-gui)
    rm "$data/gui.rkp"
    # Start-up fails at the font, the run at the title picture; the package's
    # other refusals take the same way and have their texts pinned in its own test.
    expected=('Failed to load file "data/gui.rkp".' 'Read-mode opening failed.'
      'Failed to load file "data/gui.rkp".' 'Read-mode opening failed.')
    ;;
  no-music-member)
    repack_sounds_without christmas.xm
    # The font file is never written, so the menu cannot open it in its turn.
    expected=('Failed to load file "christmas.xm".' 'Not found inside package.' 'Failed to load file "guifont.ttf".' '*')
    ;;
  bad-music)
    head -c 5000 /dev/urandom >"$WORK/noise.xm"
    repack_sounds_without christmas.xm "christmas.xm=$WORK/noise.xm"
    expected=('Failed to load music!' 'Failed to load file "guifont.ttf".' '*')
    ;;
  no-video)
    # No screen at all: start-up stops at the video, the run at the title
    # picture, which cannot be converted for a screen that does not exist.
    export SDL_VIDEODRIVER=nosuchdriver
    expected=('Failed to initialize SDL.' '*' 'Failed to load file "temp.tmp".' '*')
    ;;
  no-sound-member)
    # A game's own sample missing: reported once, and the program ends.
    repack_sounds_without pop.wav
    expected=('Failed to load file "pop.wav".' 'Not found inside package.')
    ;;
  *)
    e2e_fail "unknown case $case_name"
    ;;
esac

e2e_start --
# A game's samples load when it begins.
if [ "$case_name" = no-sound-member ]; then
  e2e_extract_pictures
  e2e_to_menu
  e2e_key Return
fi
# Without its fonts or packages the game shows at most the title, which ends
# by itself; nothing is sent to it.
e2e_expect_clean_exit 120
e2e_expect_stderr "${expected[@]}"
