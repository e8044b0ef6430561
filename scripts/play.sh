#!/usr/bin/env bash
# Installs the dependencies, builds the game and starts it, together with a
# local score server on 127.0.0.1:8480 (unless one is running there already)
# so that a finished game can send its score and show the list.
# Extra arguments go to the game, e.g. -fullscreen or -server HOST[:PORT].
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja
cmake --build "$root/build" -j "${QUORVEL_JOBS:-2}"

state="${XDG_DATA_HOME:-$HOME/.local/share}/quorvel"
mkdir -p "$state"
server="$root/build/server/quorvel-scores"
if [ -x "$server" ] && ! (exec 3<>/dev/tcp/127.0.0.1/8480) 2>/dev/null; then
  nohup "$server" --listen 127.0.0.1 --port 8480 --db "$state/scores.db" >>"$state/server.log" 2>&1 &
  echo "score server started on http://127.0.0.1:8480/scores (log: $state/server.log)"
fi

exec "$root/build/game/quorvel" -server 127.0.0.1:8480 "$@"
