#!/usr/bin/env bash
# Writes a screenshot of the desktop app (map window, digitizer window, globe window) on a
# virtual X screen: scripts/screenshot.sh [OUT.png] [BUILD_DIR]. Needs xvfb-run (package xvfb)
# and a built scribeline (scripts/build.sh).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/docs/images/desk.png}"
build="${2:-$here/build/release}"
exe="$build/apps/scribeline/scribeline"
if [[ ! -x "$exe" ]]; then
    echo "screenshot.sh: $exe not found; build first (scripts/build.sh Release $build)" >&2
    exit 1
fi
if ! command -v xvfb-run > /dev/null; then
    echo "screenshot.sh: xvfb-run not found (package xvfb)" >&2
    exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1600x900x24" \
    "$exe" desk --open --out "$work/out" --screenshot "$work/desk.png" > /dev/null
cp "$work/desk.png" "$out"
echo "screenshot.sh: wrote $out"
