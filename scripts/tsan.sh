#!/usr/bin/env bash
# ThreadSanitizer runs of the tests of the threaded parts: worker threads and
# queues, the event socket, the agent's socket threads, devwarden's device and
# pool threads, the udp workers, kitoracle's lock, kitfinder's query front, the
# task windows' workers, the link's shared tools and teardown, relaylink's
# life (a last Fini beside calls in flight), and the app-name completion
# worker with the window it answers, the contacts page's delete worker, a
# plain download cancelled from another thread, and the task manager's start
# with the requests kept meanwhile. Builds only those test programs in
# build-tsan. An entry "program:filter" runs only the tests the gtest filter
# names (the rest of that program runs one test per process).
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"

tests=(foundation_base_tests utility_tests app_agent_tests app_data_tests app_link_threads_tests devwarden_host_tests
       devwarden_unit_tests udp_channel_tests kitoracle_unit_tests kitfinder_tests kitfinder_export_tests
       ui_task_windows_tests app_task_tests xldl_tests "relaylink_e2e_tests:RelaylinkLifecycleTest.*"
       "app_web_tests:CompletionService.*" "ui_market_page_tests:*Teardown*:*Suggestion*"
       "ui_media_pages_tests:BatchWalkTest.*:MediaPagesTest.*:Batch/BatchOutcome.*"
       "ui_phone_page_tests:*Delete*" "app_ftp_tests:Ftp/DownloadLimitsTest.*"
       "app_adb_tests:ChildProcessTest.ACancelled*"
       "app_task_engine_tests:*RequestsDuringTheStart*")
programs=()
for entry in "${tests[@]}"; do programs+=("${entry%%:*}"); done

gen=()
if command -v ninja >/dev/null; then gen=(-G Ninja); fi
if [ ! -f build-tsan/CMakeCache.txt ]; then
  cmake -S . -B build-tsan "${gen[@]}" -DPHONEDECK_TSAN=ON -DPHONEDECK_BENCHMARKS=OFF >/dev/null
fi
cmake --build build-tsan -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target "${programs[@]}"

status=0
for entry in "${tests[@]}"; do
  t="${entry%%:*}"
  filter="*"
  [ "$entry" != "$t" ] && filter="${entry#*:}"
  echo "== tsan $entry"
  if ! (cd build-tsan/tests && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
        "./$t" --gtest_brief=1 "--gtest_filter=$filter" >"$t.tsan.log" 2>&1); then
    echo "tsan: $t failed; see build-tsan/tests/$t.tsan.log" >&2
    tail -n 60 "build-tsan/tests/$t.tsan.log" >&2
    status=1
  fi
done
exit "$status"
