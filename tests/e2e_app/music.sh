#!/usr/bin/env bash
# The music really plays: the mixed output, written to a file by SDL's disk
# audio driver, is not silent while the menu is up.
. "$(dirname "$0")/../e2e/lib.sh"
. "$(dirname "$0")/app_lib.sh"

e2e_setup "$1"
app_extract_pictures
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$WORK/mixed.raw"
e2e_start --
e2e_window
e2e_key space
app_wait_menu 0 60

# Two seconds of 16-bit stereo at 44100 Hz.
audio_written() {
  [ -e "$SDL_DISKAUDIOFILE" ] && [ "$(stat -c %s "$SDL_DISKAUDIOFILE")" -ge 352800 ]
}
e2e_wait_for 60 audio_written
e2e_key Up Return
app_expect_clean_exit 60
# The disk driver announces itself on standard error; nothing else may be there.
grep -v '^CRITICAL: .*\(disk i/o audio driver\|Writing to file\)' "$WORK/stderr" >"$WORK/stderr.game" || true
mv "$WORK/stderr.game" "$WORK/stderr"
app_expect_stderr

# The loudest sample must stand well above silence and rounding noise.
peak=$(od -An -v -t d2 -w2 "$SDL_DISKAUDIOFILE" |
  awk '{ v = $1 < 0 ? -$1 : $1; if (v > peak) peak = v } END { print peak + 0 }')
echo "music peak amplitude: $peak"
[ "$peak" -ge 500 ] || e2e_fail "the mixed output is silent (peak $peak)"
