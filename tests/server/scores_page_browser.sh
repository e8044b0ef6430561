#!/usr/bin/env bash
# The scores page in a real browser: the content through --dump-dom, the
# look through a screenshot (kept as scores_page.png in the working folder).
# Usage: scores_page_browser.sh <quorvel-scores binary>
set -euo pipefail
server=$1
work=$(mktemp -d /tmp/quorvel-page.XXXXXX)
server_pid=

finish() {
  local status=$?
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ $status -ne 0 ]; then
    echo "page test: work folder kept at $work" >&2
    [ -f "$work/server.log" ] && tail -20 "$work/server.log" >&2
  else
    rm -rf "$work"
  fi
  exit $status
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$server" --port 0 --db "$work/scores.db" 2>"$work/server.log" &
server_pid=$!
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || fail "the server did not start"

# save NAME SCORE: the game's own request, its line feed and its zero byte.
save() {
  local checksum=$(( ($2 * 577) & 0xffffffff ))
  (( checksum >= 2147483648 )) && checksum=$(( checksum - 4294967296 ))
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /hwendel/quorvel/save.php?name=%s&score=%s&checksum=%s\n\0' "$1" "$2" "$checksum" >&3
  local reply
  reply=$(cat <&3)
  exec 3<&-
  [ "$reply" = "!" ] || fail "save $1 answered '$reply'"
}

save Snow+Queen 98765
save Frost 54321
save Ice+Elf 54321
for i in $(seq 1 57); do
  save "Elf$i" $(( 1000 + i ))
done

browser() {
  timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" --window-size=1000,800 "$@" 2>>"$work/chromium.log"
}

page1=$(HOME=$work browser --dump-dom "http://127.0.0.1:$port/scores")
grep -q '<td class="name">Snow Queen</td><td class="score">98765</td>' <<<"$page1" || fail "first place missing"
# Equal scores keep their order of arrival.
tr -d '\n' <<<"$page1" | grep -q 'Frost</td>.*Ice Elf</td>' || fail "tie order"
grep -q 'Page 1 of 2' <<<"$page1" || fail "page count"
grep -q 'href="/scores?page=2"' <<<"$page1" || fail "link to the next page"
[ "$(grep -o '<tr><td class="rank">' <<<"$page1" | wc -l)" -eq 50 ] || fail "50 rows on page 1"

page2=$(HOME=$work browser --dump-dom "http://127.0.0.1:$port/scores?page=2")
grep -q 'Page 2 of 2' <<<"$page2" || fail "second page"
grep -q '<td class="rank">60</td><td class="name">Elf1</td>' <<<"$page2" || fail "last place"
grep -q 'href="/scores?page=1"' <<<"$page2" || fail "link to the previous page"

HOME=$work browser --screenshot="$work/shot.png" "http://127.0.0.1:$port/scores" >/dev/null
[ -s "$work/shot.png" ] || fail "no screenshot"
[ "$(identify -format '%wx%h' "$work/shot.png")" = 1000x800 ] || fail "screenshot size"
# The style sheet is applied: a dark winter sky at the top corner, a light
# card in the middle.
corner=$(convert "$work/shot.png" -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' -crop 1x1+4+4 info:)
read -r r g b <<<"$corner"
(( b > r && b > 60 && r < 80 )) || fail "corner colour $corner is not the winter sky"
middle=$(convert "$work/shot.png" -format '%[fx:int(255*r)]' -crop 1x1+500+300 info:)
(( middle > 200 )) || fail "the card is not light ($middle)"
cp "$work/shot.png" ./scores_page.png
echo "page test: ok (port $port)"
