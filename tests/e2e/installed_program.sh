#!/usr/bin/env bash
# End to end: the installed program folder, under Xvfb, against the sandbox on the build's
# addresses. A stored sign-in, stored marketplace credentials and automatic dispatch switched on:
# the sandbox's delivery orders must be imported and booked, and a second start must hand over.
# Then the program is closed as at the counter, and its support log must tell that story without
# a secret in it; the log is copied beside the screenshots.
# Usage: installed_program.sh BUILD_DIR SANDBOX_EXECUTABLE
set -euo pipefail
source "$(dirname "$0")/lib.sh"
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

# Closed as at the counter: the window manager's close, then Sim to the question.
start_openbox
main=$(xdotool search --onlyvisible --name '^Trevant - v' | head -n1)
[ -n "$main" ] || fail "no main window"
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key alt+F4
wait_for 10 bash -c "xdotool search --onlyvisible --name '^Brisfold\$' >/dev/null 2>&1" || fail "no closing question"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Brisfold$' | head -n1)" 2>/dev/null || true
xdotool key Return
wait_for 15 bash -c "! kill -0 $program 2>/dev/null" || fail "the program did not end after Sim"
status=0
wait "$program" || status=$?
[ "$status" = 0 ] || fail "the program ended with $status"

# The support log: private, and the story of the run.
logs="$work/Brisfold/log"
[ -d "$logs" ] || fail "the program folder has no log folder"
[ "$(stat -c %a "$logs")" = 700 ] || fail "the log folder is not private"
logfiles=("$logs"/*)
[ -f "${logfiles[0]}" ] || fail "the log folder is empty"
for f in "${logfiles[@]}"; do
  [[ $(basename "$f") =~ ^brisfold-[0-9]{4}-[0-9]{2}-[0-9]{2}\.log$ ]] || fail "unexpected file in the log folder: $f"
  [ "$(stat -c %a "$f")" = 600 ] || fail "$f is not private"
done
cat "${logfiles[@]}" >"$shots/installed-program.log"
story="$shots/installed-program.log"
version=$(sed -n 's/.*version = "\([^"]*\)".*/\1/p' "$build/generated/BuildConfig.h")
grep -qF "Programa iniciado: versão $version," "$story" || fail "no start line with version $version in the log"
grep -q ' Verificação iniciada$' "$story" || fail "no check started in the log"
grep -q ' Verificação concluída em ' "$story" || fail "no check ended in the log"
for id in $(sqlite3 "$db" 'SELECT IDPEDIDO FROM PEDIDOS'); do
  grep -qF "Pedido armazenado: aiqfome $id," "$story" || fail "the log does not tell order $id was stored"
  grep -qE " Solicitação [^:]*: pedido aiqfome $id, .* solicitado, id_mch " "$story" ||
    fail "the log does not tell order $id was booked"
done
[ "$(tail -n1 "$story" | cut -d' ' -f3-)" = "Programa encerrado" ] || fail "the log does not end with the close"

# Nothing the program wrote tells a password, a key or a token.
token=$(sqlite3 "$db" 'SELECT TOKEN FROM CONFIGDELIVERY')
key=$(sed -n 's/.*courierApiKey[^"]*"\([^"]*\)".*/\1/p' "$build/generated/BuildConfig.h")
secret=$(sed -n 's/.*marketplaceClientSecret[^"]*"\([^"]*\)".*/\1/p' "$build/generated/BuildConfig.h")
[ -n "$token" ] && [ -n "$key" ] && [ -n "$secret" ] || fail "the secrets to look for were not found"
# The courier password, the marketplace password and token, the integration key, the client secret;
# the log folder is under the program folder, searched whole.
for s in demo1234 aiqfome123 "$token" "$key" "$secret"; do
  found=$(grep -rlF --exclude-dir=BD --exclude=Brisfold -- "$s" "$work/program.log" "$work/Brisfold" || true)
  [ -z "$found" ] || fail "a secret appears in $found"
done
echo "PASS: 5 orders imported and booked, the program closed, its log tells it; screenshot $shots/e2e-board.png," \
  "log $story"
