#!/usr/bin/env bash
# Builds the benchmarks and the program if needed, runs them all and prints one table: figure,
# value, budget and whether it is within. Every ratio is measured against its reference in this
# same run. The process figures run the installed program under Xvfb against the sandbox on the
# build's service addresses. Not part of the test command: it takes about six and a half minutes.
# Environment: BRISFOLD_BENCH_BUILD (build folder, default build-bench), BRISFOLD_BENCH_IDLE_SECONDS
# (default 60), BRISFOLD_BENCH_NO_VALGRIND=1 skips the leak check.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BRISFOLD_BENCH_BUILD:-$root/build-bench}
idle_seconds=${BRISFOLD_BENCH_IDLE_SECONDS:-60}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
say() { echo "$*" >&2; }

say "Building into $build..."
if ! { cmake -S "$root" --preset release -B "$build" &&
       cmake --build "$build" -j2 --target bench_board bench_cycle bench_footprint bench_floor_window bench_window_calls \
         bench_labels bench_alerts brisfold_slow_sync Brisfold brisfold-sandbox database
     } >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
say "Running the board benchmarks..."
"$build/bench/bench_board" --benchmark_filter='/(1000|10000|4)$' \
  --benchmark_format=json --benchmark_out="$work/board.json" >/dev/null 2>&1
say "Running the cycle benchmarks (the program's side with the support log on)..."
"$build/bench/bench_cycle" --benchmark_filter='/(500|200)/' \
  --benchmark_format=json --benchmark_out="$work/cycle.json" >/dev/null 2>&1
# The import and the dispatch again with the log off, each beside its own bare reference: what the
# log itself costs, apart from the machine's load at the moment.
say "Running the import and the dispatch again with the support log off..."
BRISFOLD_BENCH_LOG=off "$build/bench/bench_cycle" --benchmark_filter='^BM_(Import|Dispatch)[A-Za-z]*/(500|200)/' \
  --benchmark_format=json --benchmark_out="$work/cycle-log-off.json" >/dev/null 2>&1
say "Running the check again with every disk sync slowed to 30 ms..."
LD_PRELOAD="$build/bench/libbrisfold_slow_sync.so" BRISFOLD_SYNC_DELAY_MS=30 "$build/bench/bench_cycle" \
  --benchmark_filter='BM_UiStall/500/' --benchmark_format=json --benchmark_out="$work/slow-sync.json" >/dev/null 2>&1
say "Signing in and booking against a courier platform that answers 5 s late..."
"$build/bench/bench_window_calls" --benchmark_format=json --benchmark_out="$work/window-calls.json" >/dev/null 2>&1
say "Printing delivery labels to PDF..."
"$build/bench/bench_labels" --benchmark_filter='/(500|80|58)(/|$)' \
  --benchmark_format=json --benchmark_out="$work/labels.json" >/dev/null 2>&1
say "Timing the new-order alert and measuring its memory (two programs idle for 10 s)..."
"$build/bench/bench_alerts" --benchmark_filter='/10/' \
  --benchmark_format=json --benchmark_out="$work/alerts.json" >/dev/null 2>&1
say "Running 1,000 marketplace checks..."
"$build/bench/bench_footprint" --benchmark_filter='/1000/' \
  --benchmark_format=json --benchmark_out="$work/footprint.json" >/dev/null 2>&1

# The work of the whole tick at both sizes, counted in instructions by callgrind: on a shared
# machine the wall-clock ratio also carries the caches' and the neighbours' share.
tick_instructions=()
if command -v valgrind >/dev/null; then
  say "Counting the instructions of the board tick..."
  for orders in 1000 10000; do
    valgrind --tool=callgrind --toggle-collect='brisfold::OrderBoard::TimerPedidosTimer*' \
      --callgrind-out-file="$work/tick.$orders" "$build/bench/bench_board" --benchmark_filter="BM_Tick/$orders\$" \
      --benchmark_min_time=0 >/dev/null 2>&1 || true
    tick_instructions+=("$(awk '/^summary:/ { print $2 }' "$work/tick.$orders" 2>/dev/null)")
  done
fi

# Heap check: the short run of checks under memcheck; only memory that nothing points to any
# more counts (Qt, OpenSSL and ICU keep their process-wide caches until exit on purpose).
leak_bytes=""
if [ -z "${BRISFOLD_BENCH_NO_VALGRIND:-}" ] && command -v valgrind >/dev/null; then
  say "Checking the heap of 10 checks under valgrind..."
  valgrind --tool=memcheck --leak-check=full --log-file="$work/memcheck.txt" \
    "$build/bench/bench_footprint" --benchmark_filter='/10/' --benchmark_min_time=0 >/dev/null 2>&1 || true
  leak_bytes=$(awk '/definitely lost:|indirectly lost:/ { gsub(",", "", $4); n += $4 } END { print n + 0 }' \
    "$work/memcheck.txt")
  grep -q "ERROR SUMMARY" "$work/memcheck.txt" || leak_bytes=""
fi

# --- The installed program -------------------------------------------------------------------
url_port() { sed -n "s|^$1:STRING=.*:\([0-9][0-9]*\).*|\1|p" "$build/CMakeCache.txt"; }
courier_port=$(url_port BRISFOLD_COURIER_API_URL)
marketplace_port=$(url_port BRISFOLD_MARKETPLACE_API_URL)
for port in "$courier_port" "$marketplace_port"; do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    say "Port $port of the build's service addresses is taken (another sandbox?); stop it or configure"
    say "$build with other addresses (see bench/README.md)."
    exit 1
  fi
done
"$build/sandbox/brisfold-sandbox" --quiet --initial-orders 0 --order-interval 0 \
  --courier-port "$courier_port" --marketplace-port "$marketplace_port" >"$work/sandbox.log" 2>&1 &
pids+=($!)

display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/etc-xdg"
unset QT_QPA_PLATFORM
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
sleep 1

# A program folder signed in (stored sign-in), with the marketplace credentials, automatic
# dispatch off and $2 orders spread over the last twelve hours, a quarter of them booked.
install_folder() {
  local folder=$1 orders=$2
  cmake --install "$build" --prefix "$folder" >/dev/null
  sqlite3 "$folder/BD/BANCO.db" <<SQL
INSERT INTO EMPRESA (AUTOCONNECT,EMAIL,SENHA) VALUES ('S','demo@brisfold.example','demo1234');
INSERT INTO CONFIGDELIVERY (IDORIGEM,ORIGEM,LOGIN,SENHA) VALUES (1,'AIQFOME','cantina.bella','aiqfome123');
INSERT INTO CONFIGURACAO VALUES ('PADRAO',0,'30','Moto','Faturado','Não');
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < $orders)
INSERT INTO PEDIDOS (ORIGEM,IDPEDIDO,CLIENTE,ENDERECO,TELEFONE,LATITUDE,LONGITUDE,ID_MCH,DATAHORA,VALUE)
SELECT 1, 100000 + i, 'Cliente ' || i, 'Rua das Flores, ' || i || ' - Centro', '44999990000', '-23.42',
       '-51.93', CASE WHEN i % 4 = 0 THEN 'MACHINE' END,
       strftime('%Y-%m-%d %H:%M:%S', 'now', '-' || (i * 43200 / $orders) || ' seconds'), '42.50'
FROM n;
SQL
}

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
wait_for() {
  local seconds=$1; shift
  for ((i = 0; i < seconds * 10; i++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
signed_in() { [ -n "$(sqlite3 "$1/BD/BANCO.db" 'SELECT IDMACHINE FROM EMPRESA' 2>/dev/null)" ]; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
stop_program() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# Start to first paint: one start to warm the caches, then the median of five.
say "Starting the installed program six times..."
install_folder "$work/start" 50
starts=()
for run in 0 1 2 3 4 5; do
  rm -f "$work/paint.txt"
  begin=$(date +%s%3N)
  BRISFOLD_REPORT_FIRST_PAINT=1 "$work/start/Brisfold" 2>"$work/paint.txt" &
  program=$!
  if ! wait_for 20 grep -qs brisfold-first-paint-epoch-ms "$work/paint.txt"; then
    stop_program $program
    say "The program did not report its first paint:"; cat "$work/paint.txt" >&2
    break
  fi
  painted=$(awk '/brisfold-first-paint-epoch-ms/ { print $2 }' "$work/paint.txt")
  stop_program $program
  [ "$run" -gt 0 ] && starts+=($((painted - begin)))
done
start_ms=""
[ "${#starts[@]}" -eq 5 ] && start_ms=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n 3p)

# Resident memory, signed in with 1,000 orders on the board: the highest of ten samples once the
# board and the first marketplace check have run.
say "Measuring the memory signed in with 1,000 orders..."
install_folder "$work/rss" 1000
"$work/rss/Brisfold" >"$work/rss.log" 2>&1 &
program=$!
rss=""
private=""
if wait_for 30 signed_in "$work/rss"; then
  sleep 8
  rss=0
  for sample in 1 2 3 4 5 6 7 8 9 10; do
    now=$(rss_kib $program)
    [ "$now" -gt "$rss" ] && rss=$now
    sleep 0.5
  done
  # The part no other process shares: heap, stacks and the display's shared buffers, without the
  # pages of the libraries.
  private=$(awk '/^RssAnon:|^RssShmem:/ { n += $2 } END { print n }' "/proc/$program/status")
else
  say "No sign-in within 30 s:"; cat "$work/rss.log" >&2
fi
stop_program $program

# The same measure of an empty window of the program's size with the same libraries used once:
# the part of the figure that is not the program's own.
"$build/bench/bench_floor_window" "https://127.0.0.1:$courier_port/" "$work/rss/BD/BANCO.db" \
  >"$work/floor.log" 2>&1 &
program=$!
sleep 8
floor=0
for sample in 1 2 3 4 5 6 7 8 9 10; do
  now=$(rss_kib $program 2>/dev/null || echo 0)
  [ "${now:-0}" -gt "$floor" ] && floor=$now
  sleep 0.5
done
stop_program $program

# Processor time signed in and idle with 50 orders: board refreshes, countdown and two checks.
say "Measuring the idle processor time over $idle_seconds s..."
install_folder "$work/cpu" 50
"$work/cpu/Brisfold" >"$work/cpu.log" 2>&1 &
program=$!
cpu=""
if wait_for 30 signed_in "$work/cpu"; then
  sleep 10
  first=$(cpu_ticks $program)
  sleep "$idle_seconds"
  cpu=$(( $(cpu_ticks $program) - first ))
else
  say "No sign-in within 30 s:"; cat "$work/cpu.log" >&2
fi
stop_program $program
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$work" "${start_ms:-}" "${rss:-}" "$private" "${floor:-0}" "${cpu:-}" "$(getconf CLK_TCK)" "$idle_seconds" "$leak_bytes" \
  "$load_before" "$load_after" "${tick_instructions[0]:-}" "${tick_instructions[1]:-}" <<'PY'
import json, os, platform, sys, time
(work, start_ms, rss, private, floor, cpu, clk_tck, idle_seconds, leak, load_before, load_after, ticks1,
 ticks10) = sys.argv[1:]
runs = {}
for name in ("board", "cycle", "footprint", "labels", "alerts"):
    for b in json.load(open(os.path.join(work, name + ".json")))["benchmarks"]:
        runs[b["name"].split("/iterations")[0]] = b

def ms(name):
    b = runs[name]
    if b.get("error_occurred"):
        raise SystemExit(f"{name} failed: {b.get('error_message')}")
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale

def mb_of_kib(kib):
    return float(kib) * 1024 / 1e6

rows = []
def ratio(figure, name, ref, budget):
    r = ms(name) / ms(ref)
    rows.append((figure, f"{ms(name):.1f} ms vs {ms(ref):.1f} ms = {r:.2f}x", f"<= {budget}x", r <= budget))

ratio("Board tick data part, 1,000 orders", "BM_TickData/1000", "BM_BareSelect/1000", 2)
t1, t10 = ms("BM_Tick/1000"), ms("BM_Tick/10000")
b1, b10 = ms("BM_BareSelect/1000"), ms("BM_BareSelect/10000")
if ticks1 and ticks10:
    work_ratio = int(ticks10) / int(ticks1)
    rows.append(("Board tick at 10,000 orders", f"{t10:.1f} ms = {t10 / t1:.1f}x the 1,000 tick (bare SELECT "
                 f"{b10 / b1:.1f}x); instructions {work_ratio:.1f}x", "reported, linear", work_ratio <= 11))
else:
    rows.append(("Board tick at 10,000 orders", f"{t10:.1f} ms = {t10 / t1:.1f}x the 1,000 tick (bare SELECT "
                 f"{b10 / b1:.1f}x)", "reported, linear", None))
rep = ms("BM_Repaint/4")
rows.append(("Board repaint, four cards, warm", f"{rep:.2f} ms", "<= 2 ms", rep <= 2))
logged = {}
for name, ref, figure in (("BM_ImportCheck/500", "BM_ImportBareCurl/500", "Check importing 500 orders"),
                          ("BM_DispatchCheck/200", "BM_DispatchBareCurl/200", "Automatic dispatch of 200 orders")):
    ratio(figure + ", with the log on", name, ref, 1.3)
    logged[name] = (ms(name), ms(ref), int(runs[name].get("log_lines", 0)))
off_runs = {b["name"].split("/iterations")[0]: b
            for b in json.load(open(os.path.join(work, "cycle-log-off.json")))["benchmarks"]}
for name, ref in (("BM_ImportCheck/500", "BM_ImportBareCurl/500"), ("BM_DispatchCheck/200", "BM_DispatchBareCurl/200")):
    on, on_ref, lines = logged[name]
    b, r = off_runs[name], off_runs[ref]
    if b.get("error_occurred") or r.get("error_occurred"):
        raise SystemExit(f"{name} with the log off failed")
    off, off_ref = b["real_time"], r["real_time"]  # milliseconds, as registered
    rows.append(("  beside it: the same with the log off", f"{off:.1f} ms vs {off_ref:.1f} ms = {off / off_ref:.2f}x; "
                 f"log on {on / on_ref:.2f}x, {lines} lines", "reference", None))
def stall_row(figure, stall):
    if stall.get("error_occurred"):
        raise SystemExit(f"{figure} failed: {stall.get('error_message')}")
    rows.append((figure, f"{stall['longest_stall_ms']:.1f} ms ({stall['longest_own_stall_ms']:.1f} ms without "
                 f"waits for a CPU; check {stall['check_ms'] / 1000:.1f} s)", "<= 20 ms",
                 stall["longest_stall_ms"] <= 20))
stall_row("Longest UI stall during check and dispatch, with the log on", runs["BM_UiStall/500"])
slow = json.load(open(os.path.join(work, "slow-sync.json")))["benchmarks"]
stall_row("Longest UI stall, disk syncs slowed to 30 ms, with the log on", slow[0])
for b in json.load(open(os.path.join(work, "window-calls.json")))["benchmarks"]:
    runs[b["name"].split("/iterations")[0]] = b
for figure, name in (("Longest UI stall during a sign-in, platform answering after 5 s", "BM_SignInStall"),
                     ("Longest UI stall during a booking, platform answering after 5 s", "BM_BookingStall")):
    b = runs[name]
    if b.get("error_occurred"):
        raise SystemExit(f"{figure} failed: {b.get('error_message')}")
    rows.append((figure, f"{b['longest_stall_ms']:.1f} ms", "<= 20 ms", b["longest_stall_ms"] <= 20))
if start_ms:
    rows.append(("Start to main window painted (warm, median of 5)", f"{int(start_ms)} ms", "<= 200 ms",
                 int(start_ms) <= 200))
else:
    rows.append(("Start to main window painted (warm, median of 5)", "not measured", "<= 200 ms", False))
if rss:
    mb = mb_of_kib(rss)
    rows.append(("RSS signed in, 1,000 orders on the board",
                 f"{mb:.1f} MB ({mb_of_kib(private):.1f} MB not library pages)", "<= 50 MB", mb <= 50))
    if int(floor):
        rows.append(("  beside it: empty window, same libraries used",
                     f"{mb_of_kib(floor):.1f} MB; the program's own {mb - mb_of_kib(floor):.1f} MB",
                     "reference", None))
else:
    rows.append(("RSS signed in, 1,000 orders on the board", "not measured", "<= 50 MB", False))
if cpu:
    share = int(cpu) / int(clk_tck) / int(idle_seconds) * 100
    rows.append((f"CPU signed in, 50 orders, idle {idle_seconds} s", f"{share:.2f} % of one core", "<= 1 %",
                 share <= 1))
else:
    rows.append((f"CPU signed in, 50 orders, idle {idle_seconds} s", "not measured", "<= 1 %", False))
fp = runs["BM_CheckMemory/1000"]
if fp.get("error_occurred"):
    raise SystemExit(f"BM_CheckMemory/1000 failed: {fp.get('error_message')}")
growth = mb_of_kib(fp["rss_growth_kib"])
rows.append(("RSS growth over 1,000 checks", f"{growth:.2f} MB ({mb_of_kib(fp['rss_before_kib']):.1f} -> "
             f"{mb_of_kib(fp['rss_after_kib']):.1f} MB)", "<= 2 MB", growth <= 2))
for width in (80, 58):
    label_ms = ms(f"BM_LabelPdf/{width}")
    rows.append((f"Delivery label rendered to PDF, {width} mm", f"{label_ms:.1f} ms", "<= 50 ms", label_ms <= 50))
lm = runs["BM_LabelMemory/500"]
if lm.get("error_occurred"):
    raise SystemExit(f"BM_LabelMemory/500 failed: {lm.get('error_message')}")
label_growth = mb_of_kib(lm["growth_rss_kib"])
rows.append(("RSS growth over 500 labels after the first", f"{label_growth:.2f} MB "
             f"({mb_of_kib(lm['growth_anon_kib']):.2f} MB not library pages)", "<= 2 MB", label_growth <= 2))
rows.append(("  beside it: what the first label loads", f"{mb_of_kib(lm['first_label_rss_kib']):.1f} MB "
             f"({mb_of_kib(lm['first_label_anon_kib']):.1f} MB not library pages)", "reported", None))
def counters(name):
    b = runs[name]
    if b.get("error_occurred"):
        raise SystemExit(f"{name} failed: {b.get('error_message')}")
    return b
alert = counters("BM_CommitToSound/10")
rows.append(("New order's commit to its first sound samples", f"median {alert['median_ms']:.1f} ms, max "
             f"{alert['max_ms']:.1f} ms ({int(alert['orders'])} orders; first {alert['first_ms']:.1f} ms)",
             "<= 500 ms", alert["max_ms"] <= 500))
af = counters("BM_AlertFootprint/10")
extra = mb_of_kib(af["rss_difference_kib"])
rows.append(("RSS with the tray after one alert, beside sound off",
             f"{extra:+.2f} MB ({mb_of_kib(af['rss_on_kib']):.1f} vs {mb_of_kib(af['rss_off_kib']):.1f} MB)",
             "<= 3 MB more", extra <= 3))
cpu_on, cpu_off = af["idle_cpu_on_percent"], af["idle_cpu_off_percent"]
rows.append(("CPU idle 10 s after the alert was acknowledged", f"{cpu_on:.2f} % of one core (sound off "
             f"{cpu_off:.2f} %)", "<= 1 %", cpu_on <= 1))
if leak:
    rows.append(("Heap lost over 10 checks (valgrind)", f"{int(leak)} bytes", "none", int(leak) == 0))
else:
    rows.append(("Heap lost over 10 checks (valgrind)", "not measured", "none", None))

cpu_model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
print(f"Machine: {cpu_model}, {os.cpu_count()} cores, {platform.platform()}")
print(f"Date: {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}; load average {load_before} before, "
      f"{load_after} after")
w = max(len(r[0]) for r in rows)
v = max(len(r[1]) for r in rows)
print(f"{'Figure':<{w}}  {'Value':<{v}}  {'Budget':<18}  Within")
for figure, value, budget, ok in rows:
    verdict = "yes" if ok else ("NO" if ok is False else "-")
    print(f"{figure:<{w}}  {value:<{v}}  {budget:<18}  {verdict}")
PY
