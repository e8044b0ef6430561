#!/usr/bin/env bash
# The deployment of docs/DEPLOYMENT.md on one machine: two instances on one
# PostgreSQL behind HAProxy, under load from 16 clients, one instance
# killed with SIGKILL. Every acknowledged score is in PostgreSQL; the
# survivor, the killed one started again and HAProxy answer PostgreSQL's top
# 15; HAProxy limits the connections from one address; the unit's
# PostgreSQL drop-in passes systemd-analyze verify with the packaged unit.
#   instances.sh <server binary>
set -euo pipefail
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
. "$(dirname "$0")/cluster.sh"
work=$(mktemp -d /tmp/quorvel-instances.XXXXXX)
loads=()
finish() {
  local status=$?
  set +e
  [ ${#loads[@]} -eq 0 ] || kill "${loads[@]}" 2>/dev/null
  cluster_stop
  [ $status -eq 0 ] && rm -rf "$work" || echo "instances: work folder kept at $work" >&2
  exit $status
}
trap finish EXIT
server=$(readlink -f "$1")
cluster_start "$server" "$work"
psql() { "$pg_bin/psql" -qAtX -v ON_ERROR_STOP=1 "$DB_URI" "$@"; }

# exchange <port> <request line>: sends it as the game does and prints the
# reply; fails unless the server closed the connection after it.
exchange() {
  local reply status=0
  exec 3<>"/dev/tcp/127.0.0.1/$1" || return 2
  printf '%s\n\0' "$2" >&3
  IFS= read -r -d '' -t 5 reply <&3 || status=$?
  exec 3<&-
  echo "$reply"
  [ $status -eq 1 ]
}
# client <n>: stores scores named c<n>x<i> through HAProxy until killed; prints
# the name of each one acknowledged.
client() {
  local i score
  for ((i = 0; ; i++)); do
    score=$(((i * 7919 + $1 * 104729) % 100000))
    reply=$(exchange "$CLUSTER_PORT" "$save_path?name=c$1x$i&score=$score&checksum=$((score * 577))") &&
      [ "$reply" = "!" ] && echo "c$1x$i"
  done
}
save_path=GET\ /hwendel/quorvel/save.php
for n in $(seq 1 16); do
  client "$n" >>"$work/acknowledged" 2>/dev/null &
  loads+=($!)
done
acknowledged() { wc -l <"$work/acknowledged"; }
wait_for_acknowledged() {
  for _ in $(seq 1 200); do
    [ "$(acknowledged)" -lt "$1" ] || return 0
    sleep 0.05
  done
  fail "only $(acknowledged) scores acknowledged, waiting for $1"
}
wait_for_acknowledged 300
kill -KILL "${INSTANCE_PIDS[1]}"
killed_at=$(acknowledged)
# HAProxy sends every player to the survivor.
wait_for_acknowledged $((killed_at + 100))
kill "${loads[@]}"
{ wait "${loads[@]}" "${INSTANCE_PIDS[1]}" || true; } 2>/dev/null
loads=()
echo "acknowledged: $killed_at before the kill, $(acknowledged) in all"

sort "$work/acknowledged" >"$work/sent"
psql -c "SELECT name FROM scores" | sort >"$work/stored"
lost=$(comm -23 "$work/sent" "$work/stored" | head -n 5)
[ -z "$lost" ] || fail "acknowledged but not in PostgreSQL: $lost"
[ "$(psql -c "SELECT total = (SELECT COUNT(*) FROM scores) FROM score_count")" = t ] || fail "the counter is wrong"

instance_start 1
best=$(psql -F '|' -c "SELECT name, score FROM scores ORDER BY score DESC, id LIMIT 15" | paste -sd '&')!
for port in "${INSTANCE_PORTS[@]}" "$CLUSTER_PORT"; do
  # A refused score (bad checksum) still gets the list.
  top=$(exchange "$port" "$save_path?name=Look&score=1&checksum=0&fetch=1")
  [ "$top" = "$best" ] || fail "port $port answers $top, PostgreSQL has $best"
done

# At most 32 connections at once from one address: of 40 idle ones, at least
# 8 are closed at once.
idle=()
for _ in $(seq 1 40); do
  exec {fd}<>"/dev/tcp/127.0.0.1/$CLUSTER_PORT"
  idle+=("$fd")
done
sleep 0.5
closed=0
for fd in "${idle[@]}"; do
  ! read -r -t 0 -u "$fd" || closed=$((closed + 1))
done
[ $closed -ge 8 ] || fail "HAProxy let $((40 - closed)) connections from one address in at once"

unit=$(dirname "$0")/../../dist/quorvel-scores.service.in
if [ -f "$unit" ]; then
  mkdir -p "$work/units/quorvel-scores.service.d"
  sed "s|@QUORVEL_SCORES@|$server|" "$unit" >"$work/units/quorvel-scores.service"
  awk '/^```ini$/ { f = 1; next } /^```$/ { f = 0 } f' "$(dirname "$0")/../../docs/DEPLOYMENT.md" |
    sed "s|/usr/sbin/quorvel-scores|$server|" >"$work/units/quorvel-scores.service.d/postgresql.conf"
  report=$(systemd-analyze verify --man=no "$work/units/quorvel-scores.service" 2>&1) || fail "$report"
  [ -z "$report" ] || fail "systemd-analyze verify: $report"
fi
