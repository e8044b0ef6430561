#!/usr/bin/env bash
# The Debian package as a player and an administrator meet it: installed with
# apt-get, the game started from /usr/games as an ordinary user under Xvfb,
# into a game and back to the menu, quit with status 0, nothing written into
# the installed folder; then purged, leaving no file of the package behind.
# It installs into this machine, so it needs root (or sudo).
#   deb_round_trip.sh <quorvel_VERSION_ARCH.deb> <build dir>
deb=$(realpath "$1")
build=$(realpath "$2")
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null && exec sudo bash "$0" "$deb" "$build"
  echo "FAIL: the package round trip installs into the system: run it as root or with sudo" >&2
  exit 1
fi
. "$(dirname "$0")/../e2e/lib.sh"
export QUORVEL_RKP=$build/tools/rkp QUORVEL_CLOSE_WINDOW=$build/tests/e2e/close_window DEBIAN_FRONTEND=noninteractive
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)
e2e_setup "$build/game" 240

# What the package holds, and which of those paths were there before it.
mapfile -t listed < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||; /^$/d')
dpkg -s quorvel >/dev/null 2>&1 && "${apt[@]}" purge quorvel >"$WORK/apt.log" 2>&1
there_before=$(for p in "${listed[@]}"; do [ ! -e "$p" ] || echo "$p"; done)

e2e_step "install"
"${apt[@]}" install "$deb" >>"$WORK/apt.log" 2>&1 || { tail "$WORK/apt.log" >&2; e2e_fail "apt-get install"; }
folder=$(dirname "$(readlink -f /usr/games/quorvel)")
[ -f "$folder/data/gui.rkp" ] || e2e_fail "/usr/games/quorvel leads to no game folder"
installed=$(find "$folder" -printf '%p %s %T@\n' | sort)

e2e_step "play as nobody"
e2e_extract_pictures
player=$WORK/player
mkdir -m 700 "$player"
chown nobody "$player"
chmod o+x "$WORK"
GAME=/usr/games/quorvel
e2e_start setpriv --pdeathsig KILL --reuid=nobody --regid=nogroup --clear-groups \
  env -u XDG_CACHE_HOME HOME="$player" XDG_RUNTIME_DIR="$player" --
e2e_to_menu
e2e_begin
e2e_key Escape
e2e_wait_menu 0
e2e_key Up Return
e2e_wait_exit
[ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
e2e_expect_stderr
[ "$(find "$folder" -printf '%p %s %T@\n' | sort)" = "$installed" ] || e2e_fail "the game changed $folder"
[ "$(ls -A "$player/.cache/quorvel")" = data ] || e2e_fail "the player's folder holds $(ls -A "$player/.cache/quorvel")"

e2e_step "purge"
"${apt[@]}" purge quorvel >>"$WORK/apt.log" 2>&1 || { tail "$WORK/apt.log" >&2; e2e_fail "apt-get purge"; }
for p in "${listed[@]}"; do
  if [ -e "$p" ] || [ -L "$p" ]; then grep -qxF "$p" <<<"$there_before" || e2e_fail "$p left after purge"; fi
done
echo "deb: installed, played as nobody, purged clean"
