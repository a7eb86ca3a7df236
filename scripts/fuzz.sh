#!/usr/bin/env bash
# Fuzzes the whole extraction with libFuzzer for a given time.
#   scripts/fuzz.sh [SECONDS] [more libFuzzer flags...]
# Builds build-fuzz/ with clang (fuzzer, address and undefined sanitizers),
# grows build-fuzz/corpus from the checked-in seeds, and leaves any crash,
# leak or timeout in build-fuzz/findings/. A finding becomes a regression
# fixture by copying it into tests/fuzz/regressions/ under a name that says
# what it shows; ctest then replays it in every build.
set -euo pipefail
seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

CXX=clang++ cmake -S "$root" -B "$build" -DD88_FUZZ=ON -DD88_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target extract_fuzzer >/dev/null
mkdir -p "$build/corpus" "$build/findings"
exec "$build/tests/fuzz/extract_fuzzer" "$build/corpus" "$root/tests/fuzz/corpus" \
  -dict="$root/tests/fuzz/d88.dict" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$build/findings/" \
  -print_final_stats=1 "$@"
