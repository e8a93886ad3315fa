#!/usr/bin/env bash
# Fails when a tracked C or C++ source is not laid out as .clang-format asks, and names the files.
# The fix: clang-format -i on them, or the build's "format" target for the whole tree.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is missing (scripts/setup.sh installs it)" >&2
  exit 1
fi
mapfile -t sources < <(git ls-files -- '*.cpp' '*.h' '*.c')
if ((${#sources[@]} == 0)); then
  echo "check-format: no tracked sources found (is this a git checkout?)" >&2
  exit 1
fi
if report=$(clang-format --dry-run -Werror "${sources[@]}" 2>&1); then
  echo "Formatting: ${#sources[@]} files as .clang-format asks."
  exit 0
fi
mapfile -t unformatted < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
  <<<"$report" | sort -u)
if ((${#unformatted[@]} == 0)); then
  echo "$report" >&2
  exit 1
fi
{
  echo "FORMAT CHECK FAILED: ${#unformatted[@]} file(s) not laid out as .clang-format asks:"
  printf '  %s\n' "${unformatted[@]}"
  echo "Fix with: clang-format -i <file>...   (or: cmake --build build --target format)"
} >&2
exit 1
