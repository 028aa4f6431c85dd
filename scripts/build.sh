#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [BUILD_TYPE] [BUILD_DIR]
#   BUILD_TYPE: Release (default), Debug, ASAN, UBSAN, SANITIZE (ASan + UBSan together)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
type=${1:-Release}
dir=${2:-"$root/build/$(echo "$type" | tr '[:upper:]' '[:lower:]')"}
"$root/scripts/setup.sh"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DSCRIBELINE_DEVELOPER=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
