#!/bin/sh
# Builds the benchmarks if needed, runs them all and prints one table: figure, value, budget and
# whether it is within. Not part of the test command: it takes a few minutes.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BRISFOLD_BENCH_BUILD:-$root/build-bench}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRISFOLD_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target bench_board bench_cycle >/dev/null

export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
echo "Running the board benchmarks..." >&2
"$build/bench/bench_board" --benchmark_format=json --benchmark_out="$out/board.json" >/dev/null 2>&1
echo "Running the cycle benchmarks (about two minutes)..." >&2
"$build/bench/bench_cycle" --benchmark_format=json --benchmark_out="$out/cycle.json" >/dev/null 2>&1

python3 - "$out/board.json" "$out/cycle.json" <<'PY'
import json, sys
runs = {}
for path in sys.argv[1:]:
    for b in json.load(open(path))["benchmarks"]:
        runs[b["name"].split("/iterations")[0]] = b

def ms(name):
    b = runs[name]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale

rows = []
def ratio(figure, name, ref, budget):
    r = ms(name) / ms(ref)
    rows.append((figure, f"{ms(name):.1f} ms vs {ms(ref):.1f} ms = {r:.2f}x", f"<= {budget}x", r <= budget))

ratio("Board tick data part, 1,000 orders", "BM_TickData/1000", "BM_BareSelect/1000", 2)
t1, t10 = ms("BM_Tick/1000"), ms("BM_Tick/10000")
rows.append(("Board tick at 10,000 orders", f"{t10:.1f} ms ({t10 / t1:.1f}x the 1,000 tick)",
             "reported, linear (~10x)", t10 / t1 <= 15))
rep = ms("BM_Repaint/4")
rows.append(("Board repaint, four cards, warm", f"{rep:.2f} ms", "<= 2 ms", rep <= 2))
ratio("Check importing 500 orders", "BM_ImportCheck", "BM_ImportBareCurl", 1.3)
ratio("Automatic dispatch of 200 orders", "BM_DispatchCheck", "BM_DispatchBareCurl", 1.3)
if "BM_UiStall" in runs:
    stall = runs["BM_UiStall"]["longest_stall_ms"]
    rows.append(("Longest UI stall during check and dispatch", f"{stall:.1f} ms", "<= 20 ms", stall <= 20))
for figure in ("Start to main window painted", "RSS signed in, 1,000 orders", "CPU idle, 50 orders, 60 s",
               "RSS growth over 1,000 checks"):
    rows.append((figure, "not measured", "-", None))

w = max(len(r[0]) for r in rows)
v = max(len(r[1]) for r in rows)
print(f"{'Figure':<{w}}  {'Value':<{v}}  {'Budget':<24}  Within")
for figure, value, budget, ok in rows:
    verdict = "yes" if ok else ("NO" if ok is False else "-")
    print(f"{figure:<{w}}  {value:<{v}}  {budget:<24}  {verdict}")
PY
