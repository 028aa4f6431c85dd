#!/usr/bin/env bash
# Builds and runs every test. Usage: scripts/test.sh [--sanitize]
#   --sanitize  build and run the suite under AddressSanitizer + UBSan instead
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
type=Release
[[ "${1:-}" == "--sanitize" ]] && type=SANITIZE
dir="$root/build/$(echo "$type" | tr '[:upper:]' '[:lower:]')"
"$root/scripts/build.sh" "$type" "$dir"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600
