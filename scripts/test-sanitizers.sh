#!/usr/bin/env bash
# The test suite again, built with the address and undefined-behaviour sanitizers, and the
# threaded parts (the check's worker, the dispatch race, the shared connection) built with the
# thread sanitizer. The presets asan-ubsan and tsan hold the build options; ASAN_BUILD_DIR and
# TSAN_BUILD_DIR override their folders (build-asan, build-tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD
export QT_QPA_PLATFORM=offscreen

asan=${ASAN_BUILD_DIR:-build-asan}
cmake --preset asan-ubsan -B "$asan"
cmake --build "$asan" -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$asan" --output-on-failure -j2 --timeout 600 -LE e2e

tsan=${TSAN_BUILD_DIR:-build-tsan}
threaded=(test_cycle test_dispatch test_store test_supportlog)
cmake --preset tsan -B "$tsan"
cmake --build "$tsan" -j"$(nproc)" --target "${threaded[@]}"
# die_after_fork=0: the database tests start the sqlite3 shell from a process with threads.
for t in "${threaded[@]}"; do
  echo "== $t (thread sanitizer)"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$here/scripts/sanitizers/tsan.supp \
    "$(find "$tsan/tests" -type f -name "$t" -perm -u+x | head -n1)" --gtest_brief=1
done
