#!/usr/bin/env bash
# cmake --install into a private prefix: the command leads to the game folder,
# the icons have their sizes, the manual pages name every option the programs
# know and render without warnings, and the desktop entry, the AppStream
# metadata and the systemd unit pass their validators.
#   install_files.sh <build dir> <source dir>
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$(mktemp -d /tmp/quorvel-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
cd "$prefix"

game=$(readlink -f games/quorvel)
[ -x "$game" ] || fail "games/quorvel leads to no program"
for p in gui sounds buildings elves tiles; do
  [ -f "$(dirname "$game")/data/$p.rkp" ] || fail "no data/$p.rkp beside $game"
done
[ -x sbin/quorvel-scores ] || fail "no sbin/quorvel-scores"
for size in 32 64 128 256; do
  icon=share/icons/hicolor/${size}x$size/apps/org.quorvel.Quorvel.png
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x$size" ] || fail "$icon is not $size px"
done

# Every option in the programs' own sources or usage has its manual entry.
manual_has() { zcat "$1" | grep -q -- "^\.B[RI]* $(sed 's/-/\\\\-/g' <<<"$2")\( \|$\)"; }
for option in $(grep -o '"-[a-z0-9]*"' "$2/app/options.cpp" | tr -d '"'); do
  manual_has share/man/man6/quorvel.6.gz "$option" || fail "quorvel(6) lacks $option"
done
for option in $(sbin/quorvel-scores --help | grep -o -- '--[a-z-]*'); do
  manual_has share/man/man8/quorvel-scores.8.gz "$option" || fail "quorvel-scores(8) lacks $option"
done
for page in share/man/man6/quorvel.6.gz share/man/man8/quorvel-scores.8.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
done

desktop-file-validate share/applications/org.quorvel.Quorvel.desktop
appstreamcli validate --no-net share/metainfo/org.quorvel.Quorvel.metainfo.xml
grep -qx "ExecStart=$prefix/sbin/quorvel-scores .*" lib/systemd/system/quorvel-scores.service ||
  fail "the unit does not start the installed server"
# The manual page is installed under the prefix, out of man's reach.
systemd-analyze verify --man=no lib/systemd/system/quorvel-scores.service
echo "install: every file in place and valid"
