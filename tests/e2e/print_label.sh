#!/usr/bin/env bash
# End to end: a delivery label printed from the installed program to CUPS's PDF printer. Under Xvfb
# with openbox, the signed-in program shows the sandbox's order; the card's menu "Imprimir etiqueta"
# prints it on the default printer, and the PDF cups-pdf writes must tell the order, the customer
# and a QR code with the map link of the order's coordinates. With the scheduler stopped, the same
# print must end in a message naming the order. The PDF, its page as PNG and the message go to the
# build's tests/screenshots.
# The PDF queue is added when missing and made the default for the run; the scheduler is started
# only when it is not running, and stopped again only then.
# Usage: print_label.sh BUILD_DIR SANDBOX_EXECUTABLE
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
sandbox=$2

if ! command -v cupsd >/dev/null && [ ! -x /usr/sbin/cupsd ] || ! command -v lpstat >/dev/null; then
  echo "SKIP: CUPS (cupsd, lpstat) is not installed on this machine"
  exit 0
fi
for tool in lpadmin pdftotext pdftoppm zbarimg sqlite3 xdotool Xvfb openbox; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing" >&2; exit 1; }
done
cupsd_bin=$(command -v cupsd || echo /usr/sbin/cupsd)

work=$(mktemp -d)
shots="$build/tests/screenshots"
mkdir -p "$shots"
pids=()
scheduler_running() { lpstat -r 2>/dev/null | grep -q 'is running'; }
cupsd_pid=
previous_default=
default_changed=false
# The default printer and the queue's renderer as they were; the queue stays, it is the machine's now.
restore_queue() {
  scheduler_running || return 0
  if $default_changed && [ -n "$previous_default" ]; then
    lpadmin -d "$previous_default" 2>/dev/null || true
  fi
  if $renderer_changed; then
    if [ -n "$previous_renderer" ]; then
      lpadmin -p PDF -o "pdftops-renderer-default=$previous_renderer" 2>/dev/null || true
    else
      lpadmin -p PDF -R pdftops-renderer-default 2>/dev/null || true
    fi
  fi
  default_changed=false
  renderer_changed=false
}
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  restore_queue
  if [ -n "$cupsd_pid" ]; then kill "$cupsd_pid" 2>/dev/null || true; fi
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

# The scheduler: the machine's if it runs, else one of ours in the foreground, stopped at the end.
start_scheduler() {
  "$cupsd_bin" -f >"$work/cupsd.log" 2>&1 &
  cupsd_pid=$!
  wait_for 10 scheduler_running || fail "cupsd did not start: $(cat "$work/cupsd.log")"
}
if ! scheduler_running; then start_scheduler; fi
if ! lpstat -v PDF >/dev/null 2>&1; then
  ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  [ -f "$ppd" ] || fail "cups-pdf is not installed ($ppd is missing)"
  lpadmin -p PDF -v cups-pdf:/ -E -P "$ppd" || fail "the PDF queue could not be added"
fi
previous_default=$(lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')
if [ "$previous_default" != PDF ]; then
  lpadmin -d PDF || fail "the PDF queue could not be made the default"
  default_changed=true
fi
# Ghostscript's PostScript turns the text into Type 3 glyphs pdftotext cannot read back; cairo's keeps it.
previous_renderer=$(lpoptions -p PDF | tr ' ' '\n' | sed -n 's/^pdftops-renderer=//p')
if [ "$previous_renderer" != pdftocairo ]; then
  lpadmin -p PDF -o pdftops-renderer-default=pdftocairo || fail "the PDF queue's renderer could not be set"
  renderer_changed=true
fi
cupsenable PDF 2>/dev/null || true
cupsaccept PDF 2>/dev/null || true
# cups-pdf writes to the printing user's $HOME/PDF (its configuration, not ours to change).
pdf_dir="$HOME/PDF"
mkdir -p "$pdf_dir"
newest_pdf() { find "$pdf_dir" -maxdepth 1 -name '*.pdf' -newer "$work/mark" -printf '%T@ %p\n' | sort -n | tail -n1 | cut -d' ' -f2-; }

cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
db="$work/Brisfold/BD/BANCO.db"
query() { sqlite3 -batch -noheader -cmd '.timeout 10000' "$db" "$@"; }
# A stored sign-in and marketplace credentials, automatic dispatch off: the order only waits on the board.
query <<'SQL'
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','cantina.bella','aiqfome123');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',0,'30','Moto','Faturado','Não');
SQL

"$sandbox" --quiet --initial-orders 0 --order-interval 0 --seed 7 >"$work/sandbox.log" 2>&1 &
sandbox_pid=$!
pids+=("$sandbox_pid")
started_up() { grep -qs "is running" "$work/sandbox.log" || ! kill -0 "$sandbox_pid" 2>/dev/null; }
wait_for 10 started_up && kill -0 "$sandbox_pid" 2>/dev/null || fail "the sandbox did not start: $(cat "$work/sandbox.log")"
curl -sfk -d '' "https://127.0.0.1:27802/_sandbox/orders?kind=delivery" >/dev/null || fail "the sandbox took no order"

start_display
printf 'pcm.!default { type null }\n' >"$work/asound.conf"
export ALSA_CONFIG_PATH="$work/asound.conf"
unset DBUS_SESSION_BUS_ADDRESS

start_openbox

"$work/Brisfold/Brisfold" >"$work/program.log" 2>&1 &
pids+=($!)

main_caption="Trevant - v5.6.0"
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window_named "$1")" ]; }
wait_for 30 has_window "$main_caption" || fail "no main window captioned '$main_caption'"
main=$(window_named "$main_caption")
stored() { [ "$(query 'SELECT count(*) FROM PEDIDOS')" -ge 1 ]; }
wait_for 30 stored || fail "the sandbox's order was not stored"
IFS='|' read -r order customer latitude longitude < <(query 'SELECT IDPEDIDO,CLIENTE,LATITUDE,LONGITUDE FROM PEDIDOS LIMIT 1')
[ -n "$order" ] && [ -n "$customer" ] && [ -n "$latitude" ] && [ -n "$longitude" ] ||
  fail "the stored order lacks a number, a customer or coordinates"
echo "order aiqfome $order for $customer at $latitude,$longitude"
sleep 3 # one board refresh after the order was stored

# The board's first card: near the top left of the list area, below the window's header.
right_click_card() {
  xdotool windowactivate --sync "$main" 2>/dev/null || true
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + card_x)) $((Y + card_y)) click 3
}
card_x=200
card_y=240
popups() {
  local w
  for w in $(xwininfo -root -children | awk -v main="$(printf '0x%x' "$main")" '/\("Brisfold" "Brisfold"\)/ && $1 != main {print $1}'); do
    xwininfo -id "$w" | grep -q 'Map State: IsViewable' && echo "$w"
  done
}
has_popup() { [ -n "$(popups)" ]; }
print_from_card() {
  right_click_card
  wait_for 5 has_popup || { import -window root "$shots/label-no-menu.png"; fail "the card's menu did not open (screen: $shots/label-no-menu.png)"; }
  sleep 0.3
  xdotool key Down Return
}

touch "$work/mark"
sleep 1 # a PDF from this print is newer than the mark by the file system's clock
print_from_card
has_pdf() { [ -n "$(newest_pdf)" ]; }
wait_for 30 has_pdf || {
  lpstat -W all -o >&2 || true
  import -window root "$shots/label-no-pdf.png"
  fail "no PDF from the print in $pdf_dir (screen: $shots/label-no-pdf.png)"
}
pdf=$(newest_pdf)
# cups-pdf writes the file in place: wait until it has stopped growing and is whole.
complete() { local s; s=$(stat -c %s "$pdf"); sleep 0.3; [ "$s" = "$(stat -c %s "$pdf")" ] && pdfinfo "$pdf" >/dev/null 2>&1; }
wait_for 10 complete || fail "the PDF $pdf is not complete"
cp "$pdf" "$shots/label-installed.pdf"
rm -f "$pdf"
pdftoppm -r 300 -png -singlefile "$shots/label-installed.pdf" "$shots/label-installed" 2>/dev/null

text=$(pdftotext -layout "$shots/label-installed.pdf" -)
grep -qF "aiqfome $order" <<<"$text" || fail "the label does not say \"aiqfome $order\": $text"
grep -qF "$customer" <<<"$text" || fail "the label does not name the customer $customer: $text"
qr=$(zbarimg --quiet --raw -Sqrcode.enable "$shots/label-installed.png" 2>/dev/null || true)
# The link holds the coordinates as stored, blanks around them left out.
lat=$(echo "$latitude" | xargs)
lng=$(echo "$longitude" | xargs)
[ "$qr" = "https://www.google.com/maps/search/?api=1&query=$lat,$lng" ] ||
  fail "the QR code reads '$qr', not the map link of $lat,$lng"
echo "label: $(pdfinfo "$shots/label-installed.pdf" | sed -n 's/^Page size: *//p'), QR $qr"

# The scheduler gone: the print fails, and a message names the order. Only a scheduler of this
# run is stopped; the machine's own is left running and this part is skipped.
restore_queue
if [ -z "$cupsd_pid" ]; then
  echo "PASS: label printed to PDF; $shots/label-installed.pdf, $shots/label-installed.png" \
    "(the machine's cupsd runs: the unavailable printer is not tried)"
  exit 0
fi
kill "$cupsd_pid"
wait "$cupsd_pid" 2>/dev/null || true
cupsd_pid=
stopped() { ! scheduler_running; }
wait_for 10 stopped || fail "cupsd did not stop"
message_box() { xdotool search --onlyvisible --name '^Brisfold$' 2>/dev/null | head -n1; }
has_message() { [ -n "$(message_box)" ]; }
! has_message || fail "a message box was open before the print"
print_from_card
wait_for 30 has_message || {
  import -window root "$shots/label-no-message.png"
  fail "no message after printing with the scheduler stopped"
}
box=$(message_box)
sleep 0.5
import -window root "$shots/label-unavailable.png"
# Qt's message box gives its text to no X client (its Ctrl+C copy is for Windows only), so the
# text is left to the screenshot; the box is the print's, as none was open before it.
xdotool windowactivate --sync "$box" 2>/dev/null || true
xdotool key Return
echo "PASS: label printed to PDF; $shots/label-installed.pdf, $shots/label-installed.png, $shots/label-unavailable.png"
