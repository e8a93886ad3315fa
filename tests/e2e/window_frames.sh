#!/usr/bin/env bash
# End to end: what a window manager sees of the installed program's windows. Under Xvfb with
# openbox, the captions as the manager reads them (_NET_WM_NAME), the frames it may offer
# (_NET_WM_ALLOWED_ACTIONS, the size hints) and the placement of the main window, the credentials
# dialog, the dispatch dialog and the closing question. Screenshots of each go to the build's
# tests/screenshots.
# Usage: window_frames.sh BUILD_DIR SANDBOX_EXECUTABLE
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

# The id of the one mapped window whose caption is exactly $1.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window_named "$1")" ]; }

# The caption the window manager reads, without the quotes xprop prints.
wm_name() { xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
allowed() { xprop -id "$1" _NET_WM_ALLOWED_ACTIONS; }
# The Motif functions the program asks for (openbox keeps its own minimise and maximise buttons
# whatever they say, by design, so they are read where the program writes them).
motif_functions() { xprop -id "$1" _MOTIF_WM_HINTS | sed -n 's/.*= \(0x[0-9a-f]*\), \(0x[0-9a-f]*\),.*/\2/p'; }
asks_for() { (( $(motif_functions "$1") & $2 )); }
MWM_MINIMIZE=0x8 MWM_MAXIMIZE=0x10
# "W H X Y" of the client area, in screen coordinates.
client_geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$WIDTH $HEIGHT $X $Y"
}

screen_w=1280 screen_h=800

# Checks the caption, that the size is fixed at $3x$4 and that the window sits in the middle of the
# screen (the frame's title bar may push the client area down by its height).
check_window() {
  local id=$1 caption=$2 w=$3 h=$4
  [ "$(wm_name "$id")" = "$caption" ] || fail "caption '$(wm_name "$id")', expected '$caption'"
  local hints
  hints=$(xprop -id "$id" WM_NORMAL_HINTS)
  grep -q "program specified minimum size: $w by $h" <<<"$hints" || fail "$caption: minimum size: $hints"
  grep -q "program specified maximum size: $w by $h" <<<"$hints" || fail "$caption: maximum size: $hints"
  local actions
  actions=$(allowed "$id")
  for action in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
    ! grep -q "_NET_WM_ACTION_$action" <<<"$actions" || fail "$caption may be $action: $actions"
  done
  grep -q _NET_WM_ACTION_CLOSE <<<"$actions" || fail "$caption has no close box: $actions"
  read -r cw ch cx cy < <(client_geometry "$id")
  [ "$cw" = "$w" ] && [ "$ch" = "$h" ] || fail "$caption is ${cw}x$ch, expected ${w}x$h"
  local dx=$((cx + cw / 2 - screen_w / 2)) dy=$((cy + ch / 2 - screen_h / 2))
  ((dx >= -4 && dx <= 4 && dy >= -4 && dy <= 40)) || fail "$caption is not centred (off by $dx,$dy)"
}

cmake --install "$build" --prefix "$work/Brisfold" >/dev/null
db="$work/Brisfold/BD/BANCO.db"
# A stored sign-in and settings with automatic dispatch off; no marketplace credentials yet, so the
# credentials dialog opens after the sign-in.
sqlite3 "$db" <<'SQL'
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',0,'30','Moto','Faturado','Não');
SQL

"$sandbox" --quiet --initial-orders 8 --order-interval 0 --seed 7 >"$work/sandbox.log" 2>&1 &
pids+=($!)
wait_for 10 bash -c '(exec 3<>/dev/tcp/127.0.0.1/27802) 2>/dev/null' || fail "the sandbox did not start"

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export QT_QPA_PLATFORM=xcb
export DISPLAY=$display XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc-xdg"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
wait_for 10 xdpyinfo >/dev/null 2>&1 || fail "the X server did not start"
start_openbox

"$work/Brisfold/Brisfold" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)

wait_for 20 has_window "Trevant - v5.6.0" || { cat "$work/program.log" >&2; fail "no main window captioned 'Trevant - v5.6.0'"; }
main=$(window_named "Trevant - v5.6.0")
check_window "$main" "Trevant - v5.6.0" 886 565
grep -q _NET_WM_ACTION_MINIMIZE <<<"$(allowed "$main")" || fail "the main window cannot be minimised"
asks_for "$main" $MWM_MINIMIZE || fail "the main window has no minimise button"
! asks_for "$main" $MWM_MAXIMIZE || fail "the main window asks for a maximise button"

# The credentials dialog: a close box only.
wait_for 20 has_window Cadastro || fail "the credentials dialog did not open"
cadastro=$(window_named Cadastro)
check_window "$cadastro" Cadastro 400 420
! asks_for "$cadastro" $((MWM_MINIMIZE | MWM_MAXIMIZE)) || fail "Cadastro asks for more than a close box"
sleep 0.5
import -window root "$shots/frames-cadastro.png"
xdotool windowactivate --sync "$cadastro" || true
xdotool type --delay 20 cantina.bella
xdotool key Tab
xdotool type --delay 20 aiqfome123
xdotool key Return
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Cadastro\$' >/dev/null 2>&1" || fail "Cadastro did not close on SALVAR"

# The orders arrive with automatic dispatch off: the first card's request picture opens the dialog.
imported() { [ "$(sqlite3 "$db" 'SELECT count(*) FROM PEDIDOS')" -ge 5 ]; }
wait_for 60 imported || fail "the orders were not imported"
sleep 3
import -window root "$shots/frames-board.png"
read -r mw mh mx my < <(client_geometry "$main")
# The request picture fills the right end of the first card, left of the grid's scroll bar.
card_x=$((mx + mw - 6 - 14 - 40))
card_y=$((my + 76 + 80 + 10 + 40 + 4 + 40))
xdotool mousemove "$card_x" "$card_y" click 1
wait_for 10 has_window "Solicitar entrega" || fail "the dispatch dialog did not open (clicked $card_x,$card_y)"
entrega=$(window_named "Solicitar entrega")
check_window "$entrega" "Solicitar entrega" 405 393
! asks_for "$entrega" $((MWM_MINIMIZE | MWM_MAXIMIZE)) || fail "Solicitar entrega asks for more than a close box"
sleep 1
import -window root "$shots/frames-entrega.png"
xdotool windowactivate --sync "$entrega" 2>/dev/null || true
xdotool key Escape
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Solicitar entrega\$' >/dev/null 2>&1" || fail "the dispatch dialog did not close"

# Closing asks; the question's caption is the application's title. Unanswered, the program stays.
xdotool windowactivate --sync "$main" || true
xdotool key alt+F4
wait_for 10 has_window Brisfold || fail "no closing question captioned 'Brisfold'"
question=$(window_named Brisfold)
[ "$(wm_name "$question")" = Brisfold ] || fail "the question's caption is '$(wm_name "$question")'"
import -window root "$shots/frames-question.png"
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Brisfold\$' >/dev/null 2>&1" || fail "the question did not time out"
kill -0 "$program" || fail "the program ended without a Yes"
echo "PASS: captions, frames and placement; screenshots $shots/frames-*.png"
