#!/usr/bin/env bash
# End to end: the installed program folder, under Xvfb, against the sandbox on the build's
# addresses. A stored sign-in, stored marketplace credentials and automatic dispatch switched on:
# the sandbox's delivery orders must be imported and booked, and a second start must hand over.
# Usage: installed_program.sh BUILD_DIR SANDBOX_EXECUTABLE
set -euo pipefail
build=$1
sandbox=$2
work=$(mktemp -d)
shots="$build/tests/screenshots"
mkdir -p "$shots"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local seconds=$1; shift
  for ((i = 0; i < seconds * 5; i++)); do
    if "$@"; then return 0; fi
    sleep 0.2
  done
  return 1
}

cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
db="$work/Brisfold/BD/BANCO.db"
[ -f "$db" ] || fail "the program folder has no database"
[ -x "$work/Brisfold/fechar.sh" ] || fail "the program folder has no fechar.sh"
[ "$(stat -c %a "$work/Brisfold/BD")" = 700 ] || fail "the database folder is not private"

sqlite3 "$db" <<'SQL'
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','cantina.bella','aiqfome123');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',1,'30','Moto','Faturado','Não');
SQL

# Installing again keeps the orders and settings.
cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
[ "$(sqlite3 "$db" 'SELECT count(*) FROM CONFIGURACAO')" = 1 ] || fail "a second install replaced the database"

"$sandbox" --quiet --initial-orders 8 --order-interval 0 --seed 7 >"$work/sandbox.log" 2>&1 &
pids+=($!)
wait_for 10 bash -c '(exec 3<>/dev/tcp/127.0.0.1/27802) 2>/dev/null' || fail "the sandbox did not start"

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
# On the X server, as at the counter, even when the test run chose the offscreen platform.
export QT_QPA_PLATFORM=xcb
export DISPLAY=$display XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc-xdg"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

"$work/Brisfold/Brisfold" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)

# The sandbox's round of eight holds five deliveries that reach the import (a pick-up, an unread
# order and one cancelled before its detail are left out).
booked() { [ "$(sqlite3 "$db" "SELECT count(*) FROM PEDIDOS WHERE ID_MCH = 'MACHINE'")" -ge 5 ]; }
wait_for 60 booked || {
  sqlite3 "$db" 'SELECT ID,IDPEDIDO,ID_MCH FROM PEDIDOS' >&2
  cat "$work/program.log" >&2
  fail "the orders were not imported and booked"
}
[ "$(sqlite3 "$db" 'SELECT count(*) FROM PEDIDOS')" = 5 ] || fail "unexpected orders were imported"
[ "$(sqlite3 "$db" 'SELECT count(DISTINCT IDPEDIDO) FROM PEDIDOS')" = 5 ] || fail "an order was imported twice"
bookings=$(curl -sk https://127.0.0.1:27801/_sandbox/state)
for id in $(sqlite3 "$db" 'SELECT IDPEDIDO FROM PEDIDOS'); do
  grep -q "aiqfome $id" <<<"$bookings" || fail "the platform has no booking for order $id"
done

sleep 3 # one board refresh after the last mark
import -window root "$shots/e2e-board.png"

# A second start hands over to the running copy and leaves.
timeout 10 "$work/Brisfold/Brisfold" || fail "the second start did not leave with 0"
wait_for 5 test ! -e "$work/Brisfold/open/open.ini" || fail "the running copy did not take the signal"
kill -0 "$program" || fail "the running copy is gone"
[ -f "$XDG_CONFIG_HOME/autostart/Brisfold.desktop" ] || fail "no autostart entry"

# Nothing the program wrote tells a password, a key or a token.
token=$(sqlite3 "$db" 'SELECT TOKEN FROM CONFIGDELIVERY')
key=$(sed -n 's/.*courierApiKey[^"]*"\([^"]*\)".*/\1/p' "$build/generated/BuildConfig.h")
secret=$(sed -n 's/.*marketplaceClientSecret[^"]*"\([^"]*\)".*/\1/p' "$build/generated/BuildConfig.h")
[ -n "$token" ] && [ -n "$key" ] && [ -n "$secret" ] || fail "the secrets to look for were not found"
for s in demo1234 aiqfome123 "$token" "$key" "$secret"; do
  found=$(grep -rlF --exclude-dir=BD --exclude=Brisfold -- "$s" "$work/program.log" "$work/Brisfold" || true)
  [ -z "$found" ] || fail "a secret appears in $found"
done
echo "PASS: 5 orders imported and booked; screenshot $shots/e2e-board.png"
