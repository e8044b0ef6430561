#!/usr/bin/env bash
# The deployment of docs/DEPLOYMENT.md on one machine: two instances on one
# PostgreSQL behind HAProxy, under load from 16 addresses, one instance
# killed with SIGKILL. Every acknowledged score is in PostgreSQL; the
# survivor, the killed one started again and HAProxy answer PostgreSQL's top
# 15; HAProxy refuses a 33rd connection from one address; the unit's
# PostgreSQL drop-in passes systemd-analyze verify with the packaged unit.
#   instances.sh <server binary> <score_load binary>
set -euo pipefail
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
. "$(dirname "$0")/cluster.sh"
work=$(mktemp -d /tmp/quorvel-instances.XXXXXX)
finish() {
  local status=$?
  set +e
  [ -z "${LOAD_PID:-}" ] || kill "$LOAD_PID" 2>/dev/null
  cluster_stop
  [ $status -eq 0 ] && rm -rf "$work" || echo "instances: work folder kept at $work" >&2
  exit $status
}
trap finish EXIT
server=$(readlink -f "$1")
cluster_start "$server" "$work"
psql() { "$pg_bin/psql" -qAtX -v ON_ERROR_STOP=1 "$DB_URI" "$@"; }

(exec setpriv --pdeathsig KILL -- "$2" "$CLUSTER_PORT" 16) >"$work/acknowledged" &
LOAD_PID=$!
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
wait "${INSTANCE_PIDS[1]}" 2>/dev/null || true
# HAProxy sends every player to the survivor.
wait_for_acknowledged $((killed_at + 100))
kill "$LOAD_PID"
wait "$LOAD_PID" 2>/dev/null || true
LOAD_PID=
echo "acknowledged: $killed_at before the kill, $(acknowledged) in all"

sort "$work/acknowledged" >"$work/sent"
psql -c "SELECT name FROM scores" | sort >"$work/stored"
lost=$(comm -23 "$work/sent" "$work/stored" | head -n 5)
[ -z "$lost" ] || fail "acknowledged but not in PostgreSQL: $lost"
[ "$(psql -c "SELECT total = (SELECT COUNT(*) FROM scores) FROM score_count")" = t ] || fail "the counter is wrong"

# top15 <port>: the list that a refused score (bad checksum) gets back.
top15() {
  local reply
  exec 3<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET /hwendel/quorvel/save.php?name=Look&score=1&checksum=0&fetch=1\n\0' >&3
  IFS= read -r -d '' -t 5 reply <&3 || true
  exec 3<&-
  echo "$reply"
}
instance_start 1
best=$(psql -F '|' -c "SELECT name, score FROM scores ORDER BY score DESC, id LIMIT 15" | paste -sd '&')!
for port in "${INSTANCE_PORTS[@]}" "$CLUSTER_PORT"; do
  [ "$(top15 "$port")" = "$best" ] || fail "port $port answers $(top15 "$port"), PostgreSQL has $best"
done

# Idle connections from 127.0.0.1 up to the proxy's limit of 32 at once; the next is closed at once.
for _ in $(seq 1 32); do
  exec {idle}<>"/dev/tcp/127.0.0.1/$CLUSTER_PORT"
done
exec {extra}<>"/dev/tcp/127.0.0.1/$CLUSTER_PORT"
status=0
read -r -t 3 -u "$extra" _ 2>/dev/null || status=$?
[ $status -lt 128 ] || fail "a 33rd connection from one address was let through"

unit=$(dirname "$0")/../../dist/quorvel-scores.service.in
if [ -f "$unit" ]; then
  mkdir -p "$work/units/quorvel-scores.service.d"
  sed "s|@QUORVEL_SCORES@|$server|" "$unit" >"$work/units/quorvel-scores.service"
  awk '/^```ini$/ { f = 1; next } /^```$/ { f = 0 } f' "$(dirname "$0")/../../docs/DEPLOYMENT.md" |
    sed "s|/usr/sbin/quorvel-scores|$server|" >"$work/units/quorvel-scores.service.d/postgresql.conf"
  report=$(systemd-analyze verify --man=no "$work/units/quorvel-scores.service" 2>&1) || fail "$report"
  [ -z "$report" ] || fail "systemd-analyze verify: $report"
fi
