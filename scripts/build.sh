#!/usr/bin/env bash
# Configures and builds one build folder.
#   scripts/build.sh [build-dir] [extra cmake arguments...]
# CMAKE_BUILD_PARALLEL_LEVEL sets the number of parallel jobs (default: the
# cores this process may run on); BUILD_TARGETS (space-separated) builds only
# those targets. A folder already configured is configured again only when
# arguments are given: the build itself re-runs cmake when a CMakeLists.txt
# changed. A folder whose configuration never finished (no build files,
# e.g. a package was missing) is configured again.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
gen=()
if command -v ninja >/dev/null; then gen=(-G Ninja); fi
if [ ! -f "$dir/CMakeCache.txt" ] || { [ ! -f "$dir/build.ninja" ] && [ ! -f "$dir/Makefile" ]; }; then
  cmake -S . -B "$dir" "${gen[@]}" "$@" >/dev/null
elif [ "$#" -gt 0 ]; then
  cmake -S . -B "$dir" "$@" >/dev/null
fi
targets=()
for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" "${targets[@]}"
