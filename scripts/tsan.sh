#!/usr/bin/env bash
# ThreadSanitizer runs of the tests of the threaded parts: worker threads and
# queues, the event socket, the agent's socket threads, devwarden's device and
# pool threads, the udp workers, the task windows' workers. Builds only those
# test programs in build-tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"

tests=(foundation_base_tests utility_tests app_agent_tests devwarden_host_tests devwarden_unit_tests udp_channel_tests ui_task_windows_tests)

gen=()
if command -v ninja >/dev/null; then gen=(-G Ninja); fi
if [ ! -f build-tsan/CMakeCache.txt ]; then
  cmake -S . -B build-tsan "${gen[@]}" -DPHONEDECK_TSAN=ON -DPHONEDECK_BENCHMARKS=OFF >/dev/null
fi
cmake --build build-tsan -j "$(nproc)" --target "${tests[@]}"

status=0
for t in "${tests[@]}"; do
  echo "== tsan $t"
  if ! (cd build-tsan/tests && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "./$t" --gtest_brief=1 >"$t.tsan.log" 2>&1); then
    echo "tsan: $t failed; see build-tsan/tests/$t.tsan.log" >&2
    tail -n 60 "build-tsan/tests/$t.tsan.log" >&2
    status=1
  fi
done
exit "$status"
