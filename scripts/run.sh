#!/usr/bin/env bash
# The main job on the embedded default (the base Earth, Natural Earth basemap): builds
# the session runner and plays one example session, which digitizes a polygon on the globe
# into a new shapefile layer, then says where the shapefile, the live KML and the pictures are.
# Usage: scripts/run.sh [SESSION.json]   (default: examples/polygon.json)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
session=${1:-"$root/examples/polygon.json"}
dir="$root/build/release"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCRIBELINE_DEVELOPER=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target scribeline >/dev/null
out="$root/build/run/$(basename "$session" .json)"
rm -rf "$out"
"$dir/apps/scribeline/scribeline" run "$session" --out "$out" --pictures
