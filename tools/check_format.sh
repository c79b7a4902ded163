#!/usr/bin/env bash
# Checks that every C++ source of the tree is formatted as .clang-format says.
# Prints the files that are not and exits 1 when there are any; with --fix, formats them.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format || command -v clang-format-14 || true)
if [ -z "$format" ]; then
  echo "clang-format not found" >&2
  exit 2
fi
mapfile -t files < <(find app catalog engine platform report tools tests bench fuzz \
  \( -name '*.cpp' -o -name '*.h' \) -type f | LC_ALL=C sort)
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
  exit 0
fi
# One run over every file; clang-format names each place that differs.
bad=$("$format" --dry-run "${files[@]}" 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: .*-Wclang-format-violations.*/\1/p' | sort -u)
if [ -n "$bad" ]; then
  echo "$bad" | sed 's/^/not formatted: /'
  exit 1
fi
echo "all ${#files[@]} files formatted"
