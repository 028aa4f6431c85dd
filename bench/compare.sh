#!/usr/bin/env bash
# Kestrelcore against its peers, measured in the same run on the same generated files:
#   export  KC_ExportShp2Kml vs ogr2ogr -f KML (geometry only), output checked against
#           printf "%.8f", peak memory at LINES vs SMALL_LINES polylines
#   open    KC_OpenShpFile (open + index) vs shapelib's SHPOpen + SHPCreateTree
#   search  KC_SearchShpFile and KC_FindNearest queries per second, and shapelib's floor:
#           its tree query alone, and the tree query plus SHPReadObject of every candidate
# Usage: bench/compare.sh [BUILD_DIR]   (default build/release; build it with scripts/build.sh)
# Sizes: LINES=200000 SMALL_LINES=20000 POINTS=1000000 QUERIES=200000 (environment).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/release"}
tool="$build/bench/kestrelcore/kestrelcore_benchtool"
[[ -x "$tool" ]] || { echo "compare: $tool missing; run scripts/build.sh Release first" >&2; exit 1; }
command -v ogr2ogr >/dev/null || { echo "compare: ogr2ogr missing (gdal-bin)" >&2; exit 1; }
LINES=${LINES:-200000}
SMALL_LINES=${SMALL_LINES:-20000}
POINTS=${POINTS:-1000000}
QUERIES=${QUERIES:-200000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "== generating $LINES and $SMALL_LINES polylines of 20 vertices, $POINTS points"
mkdir -p "$work/big" "$work/small"
"$tool" gen-lines "$LINES" "$work/big/lines"
"$tool" gen-lines "$SMALL_LINES" "$work/small/lines"
"$tool" gen-points "$POINTS" "$work/points"

echo "== export"
ours=$("$tool" export "$work/big/lines" "$work/big/ours.kml")
small=$("$tool" export "$work/small/lines" "$work/small/ours.kml")
echo "ours:    $ours"
start=$(date +%s.%N)
ogr2ogr -f KML "$work/big/ogr.kml" "$work/big/lines.shp" -sql "SELECT FID FROM lines"
end=$(date +%s.%N)
ogr=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
echo "ogr2ogr: seconds=$ogr"
"$tool" verify "$work/big/lines" "$work/big/ours.kml"
t=$(echo "$ours" | field seconds)
big_rss=$(echo "$ours" | field peak_rss_kb)
small_rss=$(echo "$small" | field peak_rss_kb)
echo "export speed-up over ogr2ogr: $(ratio "$ogr" "$t")x (target >= 20)"
echo "peak memory: ${big_rss} kB at $LINES vs ${small_rss} kB at $SMALL_LINES:" \
     "$(ratio "$big_rss" "$small_rss") (target <= 1.10)"

echo "== open + spatial index"
open=$("$tool" open "$work/points")
echo "$open"
echo "SHPCreateTree time / KC_OpenShpFile time: $(echo "$open" | field ratio)x (target >= 4)"

echo "== searches"
"$tool" search "$work/points" "$QUERIES"
echo "(target >= 200000 queries per second each; shapelib_tree_and_reads is the most any"
echo " search can reach that takes its candidates from SHPTreeFindLikelyShapes and reads each"
echo " with SHPReadObject)"
