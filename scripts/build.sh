#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [BUILD_TYPE] [BUILD_DIR]
#   BUILD_TYPE: Release (default), Debug, ASAN, UBSAN, SANITIZE (ASan + UBSan together)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
type=${1:-Release}
dir=${2:-"$root/build/$(echo "$type" | tr '[:upper:]' '[:lower:]')"}
"$root/scripts/setup.sh"
# Benchmarks are built in the optimised trees only; sanitizer trees exist to run the tests.
bench=ON
case "$type" in ASAN | UBSAN | SANITIZE) bench=OFF ;; esac
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DSCRIBELINE_DEVELOPER=ON \
    -DSCRIBELINE_BUILD_BENCH="$bench" >/dev/null
cmake --build "$dir" -j "$(nproc)"
