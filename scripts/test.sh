#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
# the full suite in build/, the unit tests again under ASan+UBSan, the tests
# of the threaded parts under TSan, then bounded fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
jobs="$(nproc)"

scripts/setup.sh

echo "== build"
scripts/build.sh build
echo "== tests"
(cd build && ctest -j "$jobs" --output-on-failure --timeout 600)

echo "== sanitizer build (ASan+UBSan)"
BUILD_TARGETS=unit_test_programs \
  scripts/build.sh build-asan -DPHONEDECK_SANITIZE=ON -DPHONEDECK_BENCHMARKS=OFF
echo "== unit tests under the sanitizers"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
   LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp" \
   ctest -j "$jobs" -L unit --output-on-failure --timeout 600)

echo "== ThreadSanitizer runs of the threaded parts"
scripts/tsan.sh

if [ -x scripts/fuzz.sh ]; then
  echo "== bounded fuzz runs"
  scripts/fuzz.sh
fi
echo "== all tests passed"
