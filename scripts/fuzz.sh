#!/usr/bin/env bash
# Bounded libFuzzer runs of the parsers that read untrusted bytes: the XML
# parser and file loader, the udp datagram parser, relaylink's dispatch
# replies, kitoracle's search service replies, the ID texts kitfinder reads,
# the cache's stored values, the task list file downlist.dat and the market's
# completion replies.
#   scripts/fuzz.sh            FUZZ_SECONDS (default 120) shared by the targets
# Configures build-fuzz with clang, builds only the fuzz targets, runs each
# from its seed corpus and exits non-zero when a target crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"

# target:seed corpus folder
fuzzers=(
  xml_parse_fuzzer:foundation/xml/fuzz/corpus/parse
  xml_load_fuzzer:foundation/xml/fuzz/corpus/load
  udp_datagram_fuzz:udp/fuzz/udp_datagram_fuzz_corpus
  relaylink_dispatch_fuzz:relaylink/fuzz/relaylink_dispatch_fuzz_corpus
  kitoracle_reply_fuzz:kitoracle/fuzz/kitoracle_reply_fuzz_corpus
  kitfinder_id_text_fuzz:kitfinder/fuzz/kitfinder_id_text_fuzz_corpus
  ledgerbox_value_fuzz:outside/ledgerbox/fuzz/ledgerbox_value_fuzz_corpus
  downlist_load_fuzz:app/task/fuzz/downlist_load_fuzz_corpus
  completion_reply_fuzz:app/web/fuzz/completion_reply_fuzz_corpus
)
targets=()
for f in "${fuzzers[@]}"; do targets+=("${f%%:*}"); done
total="${FUZZ_SECONDS:-120}"
each=$(( total / ${#targets[@]} ))
[ "$each" -ge 1 ] || each=1

gen=()
if command -v ninja >/dev/null; then gen=(-G Ninja); fi
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz "${gen[@]}" \
    -DPHONEDECK_FUZZ=ON -DPHONEDECK_BENCHMARKS=OFF >/dev/null
else
  cmake -S . -B build-fuzz >/dev/null
fi
cmake --build build-fuzz -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target "${targets[@]}"

status=0
mkdir -p build-fuzz/fuzz
for f in "${fuzzers[@]}"; do
  t="${f%%:*}"; seeds="${f#*:}"
  bin="$(find build-fuzz -type f -name "$t" -perm -u+x | head -n 1)"
  if [ -z "$bin" ]; then echo "fuzz: $t was not built" >&2; status=1; continue; fi
  work="build-fuzz/fuzz/corpus-$t"
  artifacts="build-fuzz/fuzz/artifacts-$t/"
  mkdir -p "$work" "$artifacts"
  echo "== fuzz $t for ${each}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$bin" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$work" "$seeds" 2>"build-fuzz/fuzz/$t.log"; then
    echo "fuzz: $t crashed; see build-fuzz/fuzz/$t.log and $artifacts" >&2
    tail -n 40 "build-fuzz/fuzz/$t.log" >&2
    status=1
  else
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)|Done [0-9]+ runs" \
      "build-fuzz/fuzz/$t.log" || true
  fi
done
exit "$status"
