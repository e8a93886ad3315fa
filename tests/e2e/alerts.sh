#!/usr/bin/env bash
# End to end: the counter's alerts, heard through ALSA. The "default" device of ALSA is pointed at a
# file (ALSA_CONFIG_PATH), so the installed program's alert sound lands there as raw samples.
#  1. A new order from the sandbox sounds the alert within one check.
#  2. A booking whose reply never came: the sandbox records the post and holds its reply, the
#     program is killed before it can mark the order, and started again with the platform healthy.
#     It must not post the order again; it sounds the alert instead, and acknowledging it asks
#     whether to book again ("Não" marks the order).
# Usage: alerts.sh BUILD_DIR SANDBOX_EXECUTABLE
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
sandbox=$2
work=$(mktemp -d)
shots="$build/tests/screenshots"
mkdir -p "$shots"
program=
pids=()
cleanup() {
  if [ -n "$program" ]; then kill -KILL "$program" 2>/dev/null || true; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- program log" >&2
  cat "$work/program.log" >&2 || true
  exit 1
}

courier=https://127.0.0.1:27801
marketplace=https://127.0.0.1:27802
query() { sqlite3 -batch -noheader -cmd '.timeout 10000' "$db" "$@"; }

# The alert as ALSA received it: raw samples in the sound's own format, 16-bit mono.
sound="$work/alert.raw"
wav="$(dirname "$0")/../../resources/sounds/novo-pedido.wav"
rate=$(soxi -r "$wav")
channels=$(soxi -c "$wav")
length=$(soxi -D "$wav")
cat >"$work/asound.conf" <<EOF
pcm.!default { type file; slave.pcm { type null }; file "$sound"; format "raw" }
EOF
export ALSA_CONFIG_PATH="$work/asound.conf"
# sox's statistics of the file: its length in seconds and its RMS amplitude.
sound_stat() { sox -t raw -r "$rate" -e signed-integer -b 16 -c "$channels" -L "$sound" -n stat 2>&1; }
stat_value() { sound_stat | sed -n "s/^$1: *//p"; }
# The whole sound, written and closed: the file holds at least its length and has stopped growing.
sound_played() {
  [ -s "$sound" ] || return 1
  local before
  before=$(stat -c %s "$sound")
  sleep 0.3
  [ "$before" = "$(stat -c %s "$sound")" ] &&
    awk -v have="$(stat_value 'Length (seconds)')" -v want="$length" 'BEGIN { exit !(have >= want - 0.05) }'
}
check_sound() {
  local have rms
  have=$(stat_value 'Length (seconds)')
  rms=$(stat_value 'RMS     amplitude')
  awk -v have="$have" -v want="$length" 'BEGIN { exit !(have >= want - 0.05 && have <= want + 0.25) }' ||
    fail "$1: $have s of sound, expected about $length s"
  awk -v rms="$rms" 'BEGIN { exit !(rms > 0.01) }' || fail "$1: the sound is silent (RMS $rms)"
  echo "$1: $have s of sound, RMS amplitude $rms"
}

cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
db="$work/Brisfold/BD/BANCO.db"
# A stored sign-in and marketplace credentials, automatic dispatch on.
query <<'SQL'
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','cantina.bella','aiqfome123');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',1,'30','Moto','Faturado','Não');
SQL

"$sandbox" --quiet --initial-orders 0 --order-interval 0 --seed 5 >"$work/sandbox.log" 2>&1 &
sandbox_pid=$!
pids+=("$sandbox_pid")
started_up() { grep -qs "is running" "$work/sandbox.log" || ! kill -0 "$sandbox_pid" 2>/dev/null; }
wait_for 10 started_up && kill -0 "$sandbox_pid" 2>/dev/null || fail "the sandbox did not start: $(cat "$work/sandbox.log")"

start_display
start_openbox

main_caption="Trevant - v5.6.0"
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window_named "$1")" ]; }
start_program() {
  "$work/Brisfold/Brisfold" >>"$work/program.log" 2>&1 &
  program=$!
  wait_for 30 has_window "$main_caption" || fail "no main window captioned '$main_caption'"
}
new_order() { curl -sfk -d '' "$marketplace/_sandbox/orders?kind=delivery" | sed -n 's/.*"order_id":"\([0-9]*\)".*/\1/p'; }
bookings_of() { curl -sfk "$courier/_sandbox/state" | grep -o "\"id_externo\":\"aiqfome $1\"" | wc -l; }
booked_once() { [ "$(bookings_of "$1")" = 1 ]; }
mark_of() { query "SELECT coalesce(ID_MCH, '') FROM PEDIDOS WHERE IDPEDIDO = '$1'"; }
pending_of() { query "SELECT count(*) FROM SOLICITACOES_PENDENTES S JOIN PEDIDOS P ON P.ID = S.ID WHERE P.IDPEDIDO = '$1'"; }

# 1. A new order while the program runs: its alert within one check.
start_program
first=$(new_order)
[ -n "$first" ] || fail "the sandbox took no order"
wait_for 40 sound_played || fail "no alert sound within one check of order $first"
[ "$(query "SELECT count(*) FROM PEDIDOS WHERE IDPEDIDO = '$first'")" = 1 ] || fail "the alert sounded before order $first was stored"
check_sound "new order $first"
wait_for 10 booked_once "$first" || fail "order $first was not booked"

# 2. A booking whose reply is held: on record at the platform, while the program still waits.
curl -sfk -o /dev/null -d '{"kind":"slow-reply","times":1,"delay_ms":20000,"path":"/api/integracao/abrirEntrega"}' \
  "$courier/_sandbox/fault" || fail "the sandbox took no fault"
second=$(new_order)
[ -n "$second" ] || fail "the sandbox took no order"
wait_for 40 booked_once "$second" || fail "order $second was not posted within one check"
[ "$(mark_of "$second")" = "" ] || fail "order $second is marked '$(mark_of "$second")' while its reply is held"
[ "$(pending_of "$second")" = 1 ] || fail "no record of order $second's post going out"
kill -KILL "$program"
wait "$program" 2>/dev/null || true
program=
curl -sfk -o /dev/null -X DELETE "$courier/_sandbox/fault" || fail "the fault was not cleared"

rm -f "$sound"
start_program
# The start's check finds the record without a mark: an alert, and no second post.
wait_for 40 sound_played || fail "no alert for order $second after the restart"
check_sound "booking of unknown outcome $second"
sleep 3 # the rest of the check
kill -0 "$program" || fail "the program ended"
[ "$(bookings_of "$second")" = 1 ] || fail "order $second has $(bookings_of "$second") bookings at the platform"
[ "$(mark_of "$second")" = "" ] || fail "order $second was marked '$(mark_of "$second")' without the user's word"
[ "$(pending_of "$second")" = 1 ] || fail "the record of order $second's post is gone"
[ "$(mark_of "$first")" = MACHINE ] || fail "order $first lost its mark"

# A click in the main window acknowledges; the question follows, and its default, "Não", marks
# the order as booked.
main=$(window_named "$main_caption")
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 120)) click 1
wait_for 10 has_window Brisfold || fail "no question about order $second after the click"
sleep 0.5
import -window root "$shots/alerts-unknown-booking.png"
xdotool windowactivate --sync "$(window_named Brisfold)" 2>/dev/null || true
xdotool key Return
marked() { [ "$(mark_of "$second")" = MACHINE ] && [ "$(pending_of "$second")" = 0 ]; }
wait_for 10 marked || fail "\"Não\" did not mark order $second (mark '$(mark_of "$second")', records $(pending_of "$second"))"
[ "$(bookings_of "$second")" = 1 ] || fail "order $second was posted again"
echo "PASS: alert sound of a new order; a booking of unknown outcome asked about, not posted twice;" \
  "screenshot $shots/alerts-unknown-booking.png"
