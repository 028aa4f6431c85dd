#!/usr/bin/env bash
# Builds the small DEM of the user_dem example: a 300 m spoil heap (a Gaussian mound) on the
# gravel plain south of Munich, 2 by 2 km in posts of about 10 m, as a GeoTIFF in WGS 84 made
# with GDAL. Usage: make_dem.sh OUT.tif
set -euo pipefail
out=${1:?usage: make_dem.sh OUT.tif}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Posts of 0.0001 degree; centre 48.05 N, 11.55 E; ground 560 m, the mound 300 m above it.
LC_ALL=C awk -v cols=200 -v rows=200 -v west=11.54 -v north=48.06 -v cell=0.0001 'BEGIN {
    printf "ncols %d\nnrows %d\nxllcorner %.6f\nyllcorner %.6f\ncellsize %.6f\nNODATA_value -9999\n",
        cols, rows, west, north - rows * cell, cell
    pi = 3.14159265358979
    for (r = 0; r < rows; r++) {
        line = ""
        for (c = 0; c < cols; c++) {
            x = (c + 0.5 - cols / 2) * cell * 111320 * cos(48.05 * pi / 180)
            y = (r + 0.5 - rows / 2) * cell * 110540
            h = 560 + 300 * exp(-(x * x + y * y) / (2 * 300 * 300))
            line = line sprintf(c ? " %.2f" : "%.2f", h)
        }
        print line
    }
}' >"$work/mound.asc"
gdal_translate -q -of GTiff -a_srs EPSG:4326 "$work/mound.asc" "$out"
echo "$out"
