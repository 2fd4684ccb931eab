#!/usr/bin/env bash
# Compares the dynamic symbols that libutility.so defines with the list of
# what it is meant to export (exported_symbols.txt beside this script).
#   check_exports.sh <path to libutility.so> <expected list>
set -euo pipefail
lib="$1"
expected="$2"
actual="$(mktemp)"
trap 'rm -f "$actual"' EXIT
# Columns: address, type, demangled name (which may hold blanks).
nm -D -C --defined-only "$lib" | sed -E 's/^[0-9a-fA-F]+ [A-Za-z] //' | LC_ALL=C sort -u > "$actual"
if ! diff -u <(LC_ALL=C sort -u "$expected") "$actual"; then
  echo "libutility.so exports differ from $expected (- expected, + actual)" >&2
  exit 1
fi
echo "libutility.so exports $(wc -l < "$actual") symbols, as listed"
