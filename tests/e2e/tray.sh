#!/usr/bin/env bash
# End to end: the installed program's icon in a real tray. Under Xvfb with openbox and trayer (an
# XEmbed tray host), the signed-in program puts its icon into the tray; with the main window
# minimised, the icon's menu and its "Abrir" bring the window back. A new order from the sandbox
# shows the tray's notification. Screenshots of the menu and the notification go to the build's
# tests/screenshots.
# Usage: tray.sh BUILD_DIR SANDBOX_EXECUTABLE
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

main_caption="Trevant - v5.6.0"
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window_named "$1")" ]; }
# The tray host's panel, and the program's icon embedded in it.
trayer_window() { xwininfo -root -tree | awk '/\("panel" "trayer"\)/ {print $1; exit}'; }
icon_window() {
  local host
  host=$(trayer_window)
  [ -n "$host" ] && xwininfo -tree -id "$host" | awk '/\("Brisfold" "Brisfold"\)/ {print $1; exit}'
}
# The program's shown top-level windows other than the main window: its menus and balloons.
popups() {
  local w
  for w in $(xwininfo -root -children | awk -v main="$main" '/\("Brisfold" "Brisfold"\)/ && $1 != main {print $1}'); do
    viewable "$w" && echo "$w"
  done
}
has_popup() { [ -n "$(popups)" ]; }
has_icon() { [ -n "$(icon_window)" ]; }
hidden() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
viewable() { xwininfo -id "$1" | grep -q 'Map State: IsViewable'; }
shown_again() { ! hidden "$1" && viewable "$1"; }
active_window() { xprop -root _NET_ACTIVE_WINDOW | sed -n 's/.*# \(0x[0-9a-f]*\).*/\1/p'; }

cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
db="$work/Brisfold/BD/BANCO.db"
# A stored sign-in and marketplace credentials, automatic dispatch off: a new order only alerts.
sqlite3 "$db" <<'SQL'
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','cantina.bella','aiqfome123');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',0,'30','Moto','Faturado','Não');
SQL

# No orders at first: the one added below is the new one the notification tells.
"$sandbox" --quiet --initial-orders 0 --order-interval 0 --seed 7 >"$work/sandbox.log" 2>&1 &
sandbox_pid=$!
pids+=("$sandbox_pid")
started_up() { grep -qs "is running" "$work/sandbox.log" || ! kill -0 "$sandbox_pid" 2>/dev/null; }
wait_for 10 started_up && kill -0 "$sandbox_pid" 2>/dev/null || fail "the sandbox did not start: $(cat "$work/sandbox.log")"

start_display
# The alert sound goes nowhere; this test is about what is seen.
printf 'pcm.!default { type null }\n' >"$work/asound.conf"
export ALSA_CONFIG_PATH="$work/asound.conf"
# No session bus: Qt draws its own balloon instead of asking a notification service.
unset DBUS_SESSION_BUS_ADDRESS

start_openbox
# The tray must be there before the program asks for it.
trayer --edge bottom --align right --widthtype request --height 32 --transparent false \
  --tint 0x303030 --SetDockType true --SetPartialStrut true >"$work/trayer.log" 2>&1 &
pids+=($!)
has_tray() { [ -n "$(trayer_window)" ]; }
wait_for 10 has_tray || fail "trayer did not start: $(cat "$work/trayer.log")"

"$work/Brisfold/Brisfold" >"$work/program.log" 2>&1 &
pids+=($!)

wait_for 30 has_window "$main_caption" || fail "no main window captioned '$main_caption'"
main=$(printf '0x%x' "$(window_named "$main_caption")")
wait_for 15 has_icon || { xwininfo -tree -id "$(trayer_window)" >&2; fail "no icon in the tray"; }
icon=$(icon_window)
echo "tray icon: window $icon in trayer's $(trayer_window)"

# Minimised, then back through the tray's menu.
xdotool windowminimize --sync "$main" || true
wait_for 10 hidden "$main" || fail "the main window was not minimised"
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
wait_for 10 has_popup || fail "the tray menu did not open"
sleep 0.5
import -window root "$shots/tray-menu.png"
# A drawn icon has many colours; an empty or failed one a single background colour.
colours=$(convert "$shots/tray-menu.png" -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage -format %k info:)
[ "$colours" -gt 8 ] || fail "the tray icon is not drawn ($colours colours)"
xdotool key Down Return
wait_for 10 shown_again "$main" || fail "\"Abrir\" did not show the main window again"
if [ "$(active_window)" = "$main" ]; then
  activity="and active"
else
  activity="not active (active: $(active_window))"
fi
echo "main window shown again after \"Abrir\", $activity"

# A new order, stored by the next check and told in a balloon Qt draws beside the icon.
no_popup() { ! has_popup; }
wait_for 5 no_popup || fail "the tray menu did not close"
curl -sfk -d '' "https://127.0.0.1:27802/_sandbox/orders?kind=delivery" >/dev/null || fail "the sandbox took no order"
stored() { [ "$(sqlite3 "$db" 'SELECT count(*) FROM PEDIDOS')" -ge 1 ]; }
wait_for 45 stored || fail "the new order was not stored"
wait_for 10 has_popup || fail "no notification beside the tray"
sleep 0.5
import -window root "$shots/tray-notification.png"
echo "PASS: tray icon, its menu and \"Abrir\"; screenshots $shots/tray-menu.png, $shots/tray-notification.png"
