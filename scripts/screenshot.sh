#!/usr/bin/env bash
# Writes the README's screenshot of the desktop app on a virtual X screen (1600 by 900): the
# polygon example (examples/polygon.json) played on the Qt front end with real mouse and key
# events, so the new polygon shows in the map and on the globe; before the session closes the
# digitizer window it is expanded and moved to the screen's bottom right (its own location
# chooser), beside the map and under the globe, and the screen is written.
#   scripts/screenshot.sh [OUT.png] [BUILD_DIR]
# Needs xvfb-run (package xvfb), jq and a built scribeline (scripts/build.sh).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/docs/images/desk.png}"
build="${2:-$here/build/release}"
exe="$build/apps/scribeline/scribeline"
if [[ ! -x "$exe" ]]; then
    echo "screenshot.sh: $exe not found; build first (scripts/build.sh Release $build)" >&2
    exit 1
fi
for tool in xvfb-run jq; do
    if ! command -v "$tool" > /dev/null; then
        echo "screenshot.sh: $tool not found (packages xvfb, jq)" >&2
        exit 1
    fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$(dirname "$out")"
# The example's steps up to its final close, then the window's placement.
jq '.steps |= (if .[-1].do == "close" then .[:-1] else . end) + [
      { "do": "push", "control": "imgMore" },
      { "do": "select", "control": "optLocationReference", "option": "Screen" },
      { "do": "push", "control": "imgLocation", "index": 7 }
    ]' "$here/examples/polygon.json" > "$work/polygon-shot.json"
# A white root window: the desktop around the windows, not a black hole.
xvfb-run -a -s "-screen 0 1600x900x24 -wr" \
    "$exe" run "$work/polygon-shot.json" --desktop qt --out "$work/out" \
    --screenshot "$work/desk.png" > /dev/null
cp "$work/desk.png" "$out"
echo "screenshot.sh: wrote $out"
