#!/usr/bin/env bash
# Configures and builds one build folder.
#   scripts/build.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
gen=()
if command -v ninja >/dev/null; then gen=(-G Ninja); fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" "${gen[@]}" "$@" >/dev/null
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
