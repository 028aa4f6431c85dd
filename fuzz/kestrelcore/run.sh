#!/usr/bin/env bash
# Builds the Kestrelcore fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each for
# SECONDS (default 600) on a copy of its seeds. Usage: fuzz/kestrelcore/run.sh [SECONDS]
# Findings land in build/fuzz/findings/; the exit code is non-zero if any target found one.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-600}
"$root/scripts/setup.sh" --fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=SANITIZE \
    -DSCRIBELINE_BUILD_FUZZ=ON -DSCRIBELINE_BUILD_TESTS=ON >/dev/null
targets=(shapefile export dbf coords)
cmake --build "$root/build/fuzz" -j2 --target "${targets[@]/#/kestrelcore_fuzz_}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:malloc_limit_mb=2048
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$root/build/fuzz/findings"
failed=0
for t in "${targets[@]}"; do
    corpus="$root/build/fuzz/corpus/$t"
    mkdir -p "$corpus"
    cp -n "$root/fuzz/kestrelcore/seeds/$t/"* "$corpus/" 2>/dev/null || true
    echo "== kestrelcore_fuzz_$t for ${seconds}s"
    if ! nice "$root/build/fuzz/fuzz/kestrelcore/kestrelcore_fuzz_$t" -max_total_time="$seconds" \
        -max_len=65536 -rss_limit_mb=3072 -artifact_prefix="$root/build/fuzz/findings/$t-" \
        "$corpus" 2>&1 | tail -n 3; then
        failed=1
    fi
done
exit $failed
