# Two quorvel-scores instances on one PostgreSQL behind HAProxy, configured as
# docs/DEPLOYMENT.md shows, all on this machine: its HAProxy configuration with
# the ports changed and the connection rate per source raised, since every
# test client has the same address. Every process dies with the script that sourced this file.
#   . cluster.sh; cluster_start <server binary> <folder>
# sets CLUSTER_PORT (HAProxy's), INSTANCE_PORTS[1..2], INSTANCE_PIDS, DB_URI
# and exports PGPASSFILE; cluster_stop ends it all.
cluster_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$cluster_here/postgres.sh"
INSTANCE_PORTS=()
INSTANCE_PIDS=()

# instance_start <n>: starts instance n, on its earlier port if it had one.
instance_start() {
  local n=$1 log="$CLUSTER_DIR/instance$1.log" port i
  : >"$log"
  (exec setpriv --pdeathsig KILL -- "$CLUSTER_SERVER" --listen 127.0.0.1 --port "${INSTANCE_PORTS[$n]:-0}" \
    --db "$DB_URI" --max-connections-per-address 256 --scores-per-minute 1000000) 2>"$log" &
  INSTANCE_PIDS[$n]=$!
  for i in $(seq 1 100); do
    port=$(sed -n 's/^listening on .*:\([0-9][0-9]*\)$/\1/p' "$log")
    [ -z "$port" ] || { INSTANCE_PORTS[$n]=$port; return 0; }
    kill -0 "${INSTANCE_PIDS[$n]}" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  echo "FAIL: score server instance $n did not start" >&2
  return 1
}

cluster_start() {
  CLUSTER_SERVER=$1 CLUSTER_DIR=$2
  mkdir -p "$CLUSTER_DIR"
  # Right under /tmp: its owner, nobody when we are root, must reach it.
  CLUSTER_PG=$(mktemp -d /tmp/quorvel-pg.XXXXXX)
  pg_start "$CLUSTER_PG"
  DB_URI=$(pg_database "$CLUSTER_PG" quorvel)
  export PGPASSFILE="$CLUSTER_PG/pgpass"
  instance_start 1
  instance_start 2
  local try i
  for try in 1 2 3 4 5; do
    CLUSTER_PORT=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    awk '/^```haproxy$/ { f = 1; next } /^```$/ { f = 0 } f' "$cluster_here/../../docs/DEPLOYMENT.md" |
      sed -e "s/bind :8480/bind 127.0.0.1:$CLUSTER_PORT/" \
        -e "s/app1.example.org:8480/127.0.0.1:${INSTANCE_PORTS[1]}/" \
        -e "s/app2.example.org:8480/127.0.0.1:${INSTANCE_PORTS[2]}/" \
        -e "s/sc0_conn_rate gt 120/sc0_conn_rate gt 1000000/" >"$CLUSTER_DIR/haproxy.cfg"
    (exec setpriv --pdeathsig KILL -- haproxy -f "$CLUSTER_DIR/haproxy.cfg") >"$CLUSTER_DIR/haproxy.log" 2>&1 &
    HAPROXY_PID=$!
    for i in $(seq 1 50); do
      kill -0 "$HAPROXY_PID" 2>/dev/null || break
      (exec 3<>"/dev/tcp/127.0.0.1/$CLUSTER_PORT") 2>/dev/null && return 0
      sleep 0.1
    done
    kill "$HAPROXY_PID" 2>/dev/null || true
  done
  cat "$CLUSTER_DIR/haproxy.log" >&2
  echo "FAIL: HAProxy did not start" >&2
  return 1
}

cluster_stop() {
  local pid
  for pid in ${HAPROXY_PID:-} "${INSTANCE_PIDS[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  done
  [ -z "${CLUSTER_PG:-}" ] || pg_stop "$CLUSTER_PG"
}
