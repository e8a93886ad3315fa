#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on a scratch copy of its seed
# corpus. Usage: scripts/fuzz.sh [seconds-per-target]   (default 5; FUZZ_BUILD_DIR, default build-fuzz)
# The preset "fuzz" holds the build options.
# Exits non-zero on the first target that finds a crash, a hang or a broken property.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-5}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target fuzzers

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
found=0
for seeds in fuzz/corpus/*/; do
  name="$(basename "$seeds")"
  target="$build/fuzz/fuzz_$name"
  corpus="$work/$name"
  cp -r "$seeds" "$corpus"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$work/$name-")
  if [[ -f "fuzz/$name.dict" ]]; then
    options+=(-dict="fuzz/$name.dict")
  fi
  echo "== fuzz_$name: ${seconds} s"
  if ! "$target" "${options[@]}" "$corpus" >"$work/$name.log" 2>&1; then
    found=1
    echo "FINDING in fuzz_$name:"
    grep -E "Property broken|ERROR:|runtime error|SUMMARY" "$work/$name.log" | head -n 5 || true
    for artifact in "$work/$name"-*; do
      [[ -f "$artifact" ]] || continue
      kept="$build/fuzz/findings/$(basename "$artifact")"
      mkdir -p "$(dirname "$kept")"
      cp "$artifact" "$kept"
      echo "  crash file: $kept (replay: $target $kept)"
    done
    tail -n 40 "$work/$name.log"
  else
    grep -E "^stat::number_of_executed_units|^#[0-9]+ *DONE" "$work/$name.log" | tail -n 2 || true
  fi
done
exit "$found"
