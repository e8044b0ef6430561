#!/usr/bin/env bash
# A whole game played to its end on a fast clock, then the end-of-game screen:
# a name typed with a space (after a held Backspace has cleared a first try)
# goes to the real score server, whose list comes back on the screen.
#   finish_and_send.sh <game dir> <score server> send|unreachable
. "$(dirname "$0")/../e2e/lib.sh"
server_binary=$2
case_name=$3

# 1440 game seconds at 25 times the speed: about a minute. A key tap (a few
# milliseconds) stays well below the 500 ms before a key repeats.
FAST_CLOCK=(faketime -f '+0 x25')
# Top-left corners of the texts whose boxes the checks look into.
LIST_TOP=75
ROW_HEIGHT=20

scores_teardown() {
  local status=$?
  set +e
  if [ -n "${SERVER_PID:-}" ]; then
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
  fi
  [ -n "${DB_DIR:-}" ] && rm -rf "$DB_DIR"
  # The clock wrapper runs the game as its child, which would outlive it.
  if [ -n "${GAME_PID:-}" ]; then
    for child in $(ps -o pid= --ppid "$GAME_PID"); do
      kill -9 "$child" 2>/dev/null
    done
  fi
  if [ $status -ne 0 ] && [ -n "${WORK:-}" ]; then
    # Screenshots for a look at what went wrong, outside the work folder.
    mkdir -p "/tmp/e2e_scores_$case_name.failed"
    cp "$WORK"/*.png "/tmp/e2e_scores_$case_name.failed/" 2>/dev/null
    echo "--- screenshots in /tmp/e2e_scores_$case_name.failed" >&2
    echo "--- score server output:" >&2
    cat "$WORK/server.out" "$WORK/server.err" >&2 2>/dev/null
    echo "--- game output:" >&2
    cat "$WORK/stdout" "$WORK/stderr" >&2 2>/dev/null
  fi
  (exit $status)
  e2e_teardown
}

# start_server: runs the score server on a loopback port of its own; sets PORT.
start_server() {
  [ -x "$server_binary" ] || e2e_fail "no score server at $server_binary"
  # The fast clock shrinks the game's 10 s bound on the exchange to 0.4 s of
  # real time, so the database lives in memory: a synced write to a busy disk
  # could take longer than that.
  DB_DIR=$(mktemp -d /dev/shm/quorvel-scores.XXXXXX 2>/dev/null || mktemp -d "$WORK/db.XXXXXX")
  DB="$DB_DIR/scores.db"
  "$server_binary" --listen 127.0.0.1 --port 0 --db "$DB" >"$WORK/server.out" 2>"$WORK/server.err" &
  SERVER_PID=$!
  for _ in $(seq 1 100); do
    PORT=$(sed -n 's/^listening on .*:\([0-9][0-9]*\)$/\1/p' "$WORK/server.err" 2>/dev/null | head -n1)
    [ -n "$PORT" ] && return 0
    kill -0 "$SERVER_PID" 2>/dev/null || e2e_fail "the score server ended at start"
    sleep 0.1
  done
  e2e_fail "the score server named no port"
}

# closed_port: a loopback port that nobody listens on.
closed_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# differs <png> <x> <y> <width> <height>: pixels of the box that are not the
# scoreboard picture, that is, drawn over it.
differs() {
  e2e_differing "$1" "$WORK/scoreboard.png" "$2" "$3" "$4" "$5"
}

e2e_setup "$1"
trap scores_teardown EXIT
e2e_member data/gui.rkp scoreboard.png "$WORK/scoreboard.png"
e2e_member data/gui.rkp start_menu.png "$WORK/start_menu.png"

case $case_name in
  send) start_server ;;
  unreachable) PORT=$(closed_port) ;;
  *) e2e_fail "unknown case $case_name" ;;
esac

e2e_start "${FAST_CLOCK[@]}" -- -server "127.0.0.1:$PORT"
e2e_window
# The title ends by itself; "Begin" is the highlighted entry of the menu.
e2e_wait_for 60 e2e_shows "$WORK/start_menu.png" 360 0 280 480
e2e_key Return
# The game runs its clock down untouched; above the list the end-of-game
# screen is nothing but its picture.
e2e_wait_for 240 e2e_shows "$WORK/scoreboard.png" 0 0 640 $LIST_TOP

e2e_type_burst z e d
sleep 0.5
xdotool keydown --window "$WINDOW" BackSpace
sleep 1
xdotool keyup --window "$WINDOW" BackSpace
sleep 0.5
e2e_type_burst shift+a n n space shift+l e e
sleep 0.5
e2e_shot "$WORK/name.png"
[ "$(differs "$WORK/name.png" 40 370 200 $ROW_HEIGHT)" != 0 ] || e2e_fail "no name shown"
e2e_key Return
sleep 0.5
e2e_key Return

# The exchange runs inside the key's handling; the first frame after it no
# longer asks the question.
question_gone() {
  e2e_shot "$WORK/result.png" 2>/dev/null && [ "$(differs "$WORK/result.png" 0 300 390 60)" = 0 ]
}
e2e_wait_for 30 question_gone
sleep 0.5
e2e_shot "$WORK/result.png"
if [ "$case_name" = send ]; then
  # A fresh server holds exactly this game's record: one row, name and score.
  [ "$(differs "$WORK/result.png" 330 $LIST_TOP 180 $ROW_HEIGHT)" != 0 ] || e2e_fail "no name in the list"
  [ "$(differs "$WORK/result.png" 520 $LIST_TOP 120 $ROW_HEIGHT)" != 0 ] || e2e_fail "no score in the list"
  [ "$(differs "$WORK/result.png" 300 $((LIST_TOP + ROW_HEIGHT)) 340 $((400 - LIST_TOP - ROW_HEIGHT)))" = 0 ] ||
    e2e_fail "more than one row in the list"
  [ "$(differs "$WORK/result.png" 0 300 390 120)" = 0 ] || e2e_fail "question or failure shown"

  # Nothing was bought, so the score is the starting money. The server took
  # the request (its checksum included) and stored exactly one record.
  stored=$(sqlite3 "$DB" "SELECT name || '|' || score FROM scores")
  [ "$stored" = "Ann Lee|5000" ] || e2e_fail "the server stored: $stored"
  grep -q " game stored name=Ann+Lee score=5000 reply=list$" "$WORK/server.err" ||
    e2e_fail "the server did not log the game's request"
else
  [ "$(differs "$WORK/result.png" 40 370 200 $ROW_HEIGHT)" != 0 ] || e2e_fail "no failure shown"
  [ "$(differs "$WORK/result.png" 300 $LIST_TOP 340 300)" = 0 ] || e2e_fail "a list is shown after a failure"
fi

# Escape leads back to the main menu, and "Quit" (above "Begin", wrapping) ends the program.
e2e_key Escape
e2e_wait_for 60 e2e_shows "$WORK/start_menu.png" 360 0 280 480
e2e_key Up Return
e2e_wait_exit 60
[ "$GAME_STATUS" -eq 0 ] || e2e_fail "exit status $GAME_STATUS"
for f in temp.tmp tileinfo.tmp guifont.ttf; do
  [ ! -e "$WORK/game/$f" ] || e2e_fail "$f left in the game folder"
done
echo "e2e_scores $case_name: passed"
