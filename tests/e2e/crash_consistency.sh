#!/usr/bin/env bash
# End to end under SIGKILL: the installed program, signed in with automatic dispatch on, is killed
# at random moments (start-up, token, search, detail import, automatic dispatch) while the sandbox's
# orders keep arriving, started again each time, and at the end left to finish one full check.
# Then the database and the courier platform's record must agree: an intact file, whole rows, one
# row per marketplace order, every "MACHINE" mark backed by a booking, no order booked twice, and no
# delivery order lost: each one is marked, or left unmarked with the record of its post (a kill
# between the post and its mark), to be asked about rather than posted again.
# Usage: crash_consistency.sh BUILD_DIR SANDBOX_EXECUTABLE [KILLS]
# Environment: KILLS (default 50), SEED (random moments), LATENCY_MS (delay of every sandbox request,
# default 100, so kills land inside the check), ORDER_INTERVAL (seconds between new orders, default 0.5).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
sandbox=$2
kills=${3:-${KILLS:-50}}
seed=${SEED:-$$}
latency=${LATENCY_MS:-100}
interval=${ORDER_INTERVAL:-0.5}
RANDOM=$seed
started=$SECONDS
work=$(mktemp -d)
program=
pids=()
cleanup() {
  if [ -n "$program" ]; then kill -KILL "$program" 2>/dev/null || true; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

[[ $kills =~ ^[0-9]+$ ]] || fail "KILLS must be a whole number"

# The ports the build points the program at; the sandbox must listen on those, on loopback only.
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
loopback_port() {
  local url=$1 address
  address=${url#https://}
  address=${address%%/*}
  [[ $address =~ ^(127\.0\.0\.1|localhost):([0-9]+)$ ]] || fail "$url is not a loopback address with a port"
  echo "${BASH_REMATCH[2]}"
}
courier_port=$(loopback_port "$(cache_value BRISFOLD_COURIER_API_URL)")
marketplace_port=$(loopback_port "$(cache_value BRISFOLD_MARKETPLACE_API_URL)")

cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
db="$work/Brisfold/BD/BANCO.db"
[ -f "$db" ] || fail "the program folder has no database"
sqlite3 "$db" <<'SQL'
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','cantina.bella','aiqfome123');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',1,'30','Moto','Faturado','Não');
SQL

slow=()
[ "$latency" -gt 0 ] && slow=(--courier-fault slow --marketplace-fault slow --fault-delay "$latency")
"$sandbox" --quiet --courier-port "$courier_port" --marketplace-port "$marketplace_port" \
  --initial-orders 8 --order-interval "$interval" --seed 11 "${slow[@]}" >"$work/sandbox.log" 2>&1 &
sandbox_pid=$!
pids+=("$sandbox_pid")
# Its banner comes after both ports are bound; a port taken by another run ends it instead.
started_up() { grep -qs "is running" "$work/sandbox.log" || ! kill -0 "$sandbox_pid" 2>/dev/null; }
if ! wait_for 10 started_up || ! kill -0 "$sandbox_pid" 2>/dev/null; then
  cat "$work/sandbox.log" >&2
  fail "the sandbox did not start"
fi
courier_state="https://127.0.0.1:$courier_port/_sandbox/state"
marketplace_state="https://127.0.0.1:$marketplace_port/_sandbox/state"

start_display

# Both services' records, for the queries below (read there with readfile()).
snapshot() {
  if ! curl -sfk -o "$work/courier.json" "$courier_state" ||
    ! curl -sfk -o "$work/marketplace.json" "$marketplace_state"; then
    fail "the sandbox stopped answering"
  fi
}
# The program may be writing while the last check runs.
query() { sqlite3 -batch -noheader -cmd '.timeout 10000' "$db" "$@"; }
# Unmarked orders whose post may have gone out: the program asks about them instead of posting.
# The program makes the table of posts going out; a start killed early may not have made it yet.
asking() {
  local posts="(SELECT NULL AS ID WHERE 0)"
  [ "$(query "SELECT count(*) FROM sqlite_master WHERE name = 'SOLICITACOES_PENDENTES'")" = 1 ] &&
    posts=SOLICITACOES_PENDENTES
  echo "(SELECT P.ID FROM PEDIDOS P JOIN $posts S ON S.ID = P.ID WHERE P.ID_MCH IS NULL OR P.ID_MCH = '')"
}
# Unmarked orders the automatic dispatch still has to book.
unbooked() { echo "(SELECT ID FROM PEDIDOS WHERE (ID_MCH IS NULL OR ID_MCH = '') AND ID NOT IN $(asking))"; }
# Orders marked, or left to be asked about.
settled_orders() { echo "(SELECT IDPEDIDO FROM PEDIDOS WHERE ID_MCH = 'MACHINE' OR ID IN $(asking))"; }
# The delivery orders of a marketplace record, the customer's name without accents as the import
# stores it.
deliveries() {
  local customer="json_extract(value,'$.customer')" from to i
  from=(á à â ã é ê í ó ô õ ú ç Á À Â Ã É Ê Í Ó Ô Õ Ú Ç)
  to=(a a a a e e i o o o u c A A A A E E I O O O U C)
  for i in "${!from[@]}"; do customer="replace($customer,'${from[i]}','${to[i]}')"; done
  echo "(SELECT json_extract(value,'$.order_id') AS id, $customer AS customer,
    json_extract(value,'$.created_at') AS created FROM json_each(readfile('$1'),'$.orders')
    WHERE json_extract(value,'$.kind') = 'delivery')"
}
bookings="(SELECT substr(json_extract(value,'$.id_externo'), 9) AS id FROM
  json_each(readfile('$work/courier.json'),'$.bookings') WHERE json_extract(value,'$.id_externo') LIKE 'aiqfome %')"
detail_requests() {
  sqlite3 -batch -noheader :memory: "SELECT total(json_extract(value,'$.detail_requests'))
    FROM json_each(readfile('$work/marketplace.json'),'$.orders')"
}

start_program() {
  "$work/Brisfold/Brisfold" >>"$work/program.log" 2>&1 &
  program=$!
}
# A start that ends by itself (a crash, or a hand-over to a copy still holding the lock) is a fault.
ended_alone=
stop_program() {
  kill -KILL "$program" 2>/dev/null || true
  # Reaped means gone: the kernel has dropped its instance lock with its descriptors.
  local status=0
  wait "$program" 2>/dev/null || status=$?
  program=
  [ "$status" = 137 ] || ended_alone+="start $k ended with status $status"$'\n'
}

# Where a kill landed, told from what it left behind.
declare -A landed=()
for ((k = 1; k <= kills; k++)); do
  snapshot
  cp "$work/marketplace.json" "$work/before.json"
  before=$(detail_requests)
  start_program
  run_ms=$((300 + RANDOM % 5701))
  sleep "$(printf '%d.%03d' $((run_ms / 1000)) $((run_ms % 1000)))"
  stop_program
  snapshot
  missing=$(query "SELECT count(*) FROM $(deliveries "$work/before.json") WHERE id NOT IN (SELECT IDPEDIDO FROM PEDIDOS)")
  open=$(query "SELECT count(*) FROM $(unbooked)")
  if [ "$missing" -gt 0 ] && [ "$(detail_requests)" = "$before" ]; then
    phase="before the import"
  elif [ "$missing" -gt 0 ]; then
    phase="during the import"
  elif [ "$open" -gt 0 ]; then
    phase="during the dispatch"
  else
    phase="after the check"
  fi
  landed[$phase]=$((${landed[$phase]:-0} + 1))
done

# One more start, left to import and book every delivery order the marketplace holds by then, but
# for those it asks about.
snapshot
cp "$work/marketplace.json" "$work/before.json"
start_program
settled() {
  [ "$(query "SELECT count(*) FROM $(deliveries "$work/before.json") WHERE id NOT IN $(settled_orders)")" = 0 ] &&
    [ "$(query "SELECT count(*) FROM $(unbooked)")" = 0 ]
}
wait_for 90 settled || echo "note: the last check did not book or ask about every order within 90 s" >&2
stop_program
snapshot

violations=0
violation() {
  local what=$1 rows=$2
  [ -z "$rows" ] && return 0
  violations=$((violations + $(wc -l <<<"$rows")))
  echo "VIOLATION: $what:"
  sed 's/^/  /' <<<"$rows"
}

integrity=$(query 'PRAGMA integrity_check')
echo "integrity_check: $integrity"
[ "$integrity" = ok ] || violation "integrity_check" "$integrity"

# An import writes the whole row in one statement: a row missing any of its values, or whose
# values differ from the marketplace's order, was written in part or from something else.
violation "half-written or foreign rows" "$(query "SELECT ID, IDPEDIDO, CLIENTE, DATAHORA FROM PEDIDOS
  WHERE ORIGEM IS NOT 1 OR IDPEDIDO IS NULL OR DATAHORA IS NULL OR VALUE IS NOT '' OR CLIENTE IS NULL
    OR TELEFONE IS NULL OR TELEFONE = '' OR ENDERECO IS NULL OR ENDERECO NOT LIKE '%, % - %'
    OR LATITUDE IS NULL OR LATITUDE = '' OR LONGITUDE IS NULL OR LONGITUDE = ''
    OR (ID_MCH IS NOT NULL AND ID_MCH NOT IN ('', 'MACHINE'))
    OR NOT EXISTS (SELECT 1 FROM $(deliveries "$work/marketplace.json") d WHERE d.id = IDPEDIDO AND d.customer = CLIENTE
                                                  AND d.created = DATAHORA)")"
violation "marketplace orders with more than one row" "$(query "SELECT IDPEDIDO, count(*) FROM PEDIDOS
  GROUP BY ORIGEM, IDPEDIDO HAVING count(*) > 1")"
violation "orders marked MACHINE without a booking" "$(query "SELECT ID, IDPEDIDO FROM PEDIDOS
  WHERE ID_MCH = 'MACHINE' AND IDPEDIDO NOT IN $bookings")"
violation "bookings for orders without a row" "$(query "SELECT DISTINCT id FROM $bookings
  WHERE id NOT IN (SELECT IDPEDIDO FROM PEDIDOS)")"
violation "delivery orders neither booked nor asked about by the last check" "$(query "SELECT id FROM
  $(deliveries "$work/before.json") WHERE id NOT IN $(settled_orders)")"
violation "unmarked orders without the record of a post" "$(query "SELECT ID, IDPEDIDO FROM PEDIDOS
  WHERE ID IN $(unbooked)")"
violation "the stored sign-in or settings were lost" "$(query "SELECT 'EMPRESA', count(*) FROM EMPRESA
  HAVING count(*) <> 1 OR max(AUTOCONNECT) IS NOT 'S' OR max(STATUS) IS NOT 'A'
  UNION ALL SELECT 'CONFIGDELIVERY', count(*) FROM CONFIGDELIVERY HAVING count(*) <> 1
  UNION ALL SELECT 'CONFIGURACAO', count(*) FROM CONFIGURACAO HAVING count(*) <> 1")"
violation "starts that ended before their kill" "${ended_alone%$'\n'}"
# Every start rewrites the autostart entry; a kill must leave the old one or the new one, whole.
autostart="$XDG_CONFIG_HOME/autostart/Brisfold.desktop"
if [ "$(head -n 1 "$autostart" 2>/dev/null)" != "[Desktop Entry]" ] ||
  ! grep -q '^Exec=.* --autostart$' "$autostart"; then
  violation "a missing or half-written autostart entry" "$autostart"
fi
litter=$(find "$XDG_CONFIG_HOME/autostart" -type f ! -name Brisfold.desktop)
[ -z "$litter" ] || echo "note: files left beside the autostart entry: $litter"

doubles=$(query "SELECT id || ' booked ' || count(*) || ' times' FROM $bookings GROUP BY id HAVING count(*) > 1")
double_count=0
[ -n "$doubles" ] && double_count=$(wc -l <<<"$doubles")
violation "orders booked more than once" "$doubles"

imported=$(query 'SELECT count(*) FROM PEDIDOS')
booked=$(query "SELECT count(*) FROM PEDIDOS WHERE ID_MCH = 'MACHINE'")
left_asking=$(query "SELECT count(*) FROM $(asking)")
# Of those, the ones whose post did reach the platform before the kill.
asking_booked=$(query "SELECT count(*) FROM PEDIDOS WHERE ID IN $(asking) AND IDPEDIDO IN $bookings")
echo -n "kills landed:"
for phase in "before the import" "during the import" "during the dispatch" "after the check"; do
  echo -n " $phase ${landed[$phase]:-0};"
done
echo
echo "crash consistency: kills $kills, orders imported $imported, orders booked $booked," \
  "orders left asking $left_asking ($asking_booked of them booked), doubles $double_count, violations $violations," \
  "$((SECONDS - started)) s (seed $seed)"
[ "$violations" = 0 ] || exit 1
