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
# ccache, when installed, makes rebuilds and other checkouts of the same sources cheap; paths
# are hashed relative to the checkout so that worktrees share one cache.
launcher=()
if command -v ccache >/dev/null; then
    ccache="cmake;-E;env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER="$ccache" -DCMAKE_CXX_COMPILER_LAUNCHER="$ccache")
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DSCRIBELINE_DEVELOPER=ON \
    -DSCRIBELINE_BUILD_BENCH="$bench" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
