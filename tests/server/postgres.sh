#!/usr/bin/env bash
# A PostgreSQL server of the tests' own, from Debian's packages: a fresh
# cluster in <dir>, listening only on a Unix socket in <dir>, password
# authentication with the password in <dir>/pgpass (for PGPASSFILE). It runs
# as "nobody" when started by root, since PostgreSQL refuses root. No fsync:
# what is tested is the score server, not PostgreSQL's own durability.
#   postgres.sh start <dir> | stop <dir> | database <dir> <name>
# or sourced, for pg_start, pg_stop and pg_database.

pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)

# pg_as_owner <command...>: runs the command as the cluster's owner.
pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$dir" "$@"
  else
    "$@"
  fi
}

# pg_start <dir>: a running server in <dir> (a stale one there is replaced).
pg_start() {
  local dir=$1 password
  [ -x "$pg_bin/initdb" ] || { echo "postgres.sh: no PostgreSQL under /usr/lib/postgresql" >&2; return 1; }
  pg_stop "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$dir"
  password=$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
  (umask 077 && echo "$password" >"$dir/password" && printf '*:*:*:quorvel:%s' "$password" >"$dir/pgpass")
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$dir/password"
  pg_as_owner "$pg_bin/initdb" -D "$dir/data" -U quorvel --pwfile="$dir/password" --auth=scram-sha-256 \
    --encoding=UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; return 1; }
  rm "$dir/password"
  pg_as_owner "$pg_bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -c listen_addresses= -c fsync=off -c full_page_writes=off" start >/dev/null ||
    { cat "$dir/server.log" >&2; return 1; }
}

# pg_stop <dir>: stops the server in <dir>, if any, and removes the folder.
pg_stop() {
  local dir=$1 pid
  # A test cut short may have left it stopped (SIGSTOP): let it go on, or it never stops.
  if pid=$(head -n1 "$dir/data/postmaster.pid" 2>/dev/null) && [ -n "$pid" ]; then
    pkill -CONT -P "$pid" 2>/dev/null || true
    kill -CONT "$pid" 2>/dev/null || true
  fi
  [ ! -f "$dir/data/postmaster.pid" ] || pg_as_owner "$pg_bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
  rm -rf "$dir"
}

# pg_database <dir> <name>: creates an empty database; prints its URI.
pg_database() {
  local uri="postgresql://quorvel@/$2?host=$1"
  PGPASSFILE="$1/pgpass" PGOPTIONS="-c client_min_messages=warning" "$pg_bin/psql" -qX -v ON_ERROR_STOP=1 "postgresql://quorvel@/postgres?host=$1" \
    -c "DROP DATABASE IF EXISTS \"$2\"" -c "CREATE DATABASE \"$2\"" >&2 && echo "$uri"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case ${1:-} in
    start | stop | database) "pg_$1" "${@:2}" ;;
    *) echo "usage: postgres.sh start|stop|database <dir> [name]" >&2; exit 2 ;;
  esac
fi
