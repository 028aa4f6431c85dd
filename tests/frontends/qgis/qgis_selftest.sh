#!/usr/bin/env bash
# The plugin's self-test mode in the real QGIS under Xvfb: a fresh profile with only our plugin,
# a project holding the Natural Earth map and a small DEM; the plugin plays the session through
# its widgets, checks the project and quits QGIS. Once in the C locale and once with LANG,
# LC_ALL and QGIS's own locale German (decimal comma): both must pass, write the same report
# and store the same features.
# Usage: qgis_selftest.sh INSTALL_SCRIPT PLUGIN_LIBRARY SESSION EXPECTED_REPORT MAKE_DEM [SCREENSHOT]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
install=$1
library=$2
session=$3
expected=$4
make_dem=$5
screenshot=${6:-}
world=/usr/share/qgis/resources/data/world_map.gpkg
for tool in qgis xvfb-run gdal_translate ogrinfo /usr/bin/python3; do
    if ! command -v "$tool" >/dev/null; then
        if [[ "${CI:-}" == "true" ]]; then
            echo "FAIL: $tool is missing" >&2
            exit 1
        fi
        echo "SKIP: $tool is not installed"
        exit 0
    fi
done
if [[ ! -f "$world" ]]; then
    [[ "${CI:-}" == "true" ]] && { echo "FAIL: $world is missing" >&2; exit 1; }
    echo "SKIP: $world is missing"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$make_dem" "$work/dem.tif" >/dev/null
cp "$world" "$work/world_map.gpkg"
chmod u+w "$work/world_map.gpkg"
QT_QPA_PLATFORM=offscreen /usr/bin/python3 "$here/make_selftest_project.py" \
    "$work/world_map.gpkg" "$work/dem.tif" "$work/project.qgs" >"$work/project.log" 2>&1 || {
    echo "FAIL: cannot make the project" >&2
    cat "$work/project.log" >&2
    exit 1
}

run_selftest() { # name, QGIS locale (empty: QGIS's default), screenshot (may be empty), env...
    local name=$1 qgis_locale=$2 shot=$3
    shift 3
    local profiles="$work/$name/profiles" out="$work/$name/out"
    mkdir -p "$profiles/profiles/default/QGIS" "$out"
    # The new layers are files in the temporary folder, which QGIS would offer to keep on quit.
    printf '[app]\naskToSaveMemoryLayers=false\n' >"$profiles/profiles/default/QGIS/QGIS3.ini"
    if [[ -n "$qgis_locale" ]]; then
        printf '[locale]\nuserLocale=%s\noverrideFlag=true\nglobalLocale=%s\n' \
            "$qgis_locale" "$qgis_locale" >>"$profiles/profiles/default/QGIS/QGIS3.ini"
    fi
    SCRIBELINE_PLUGIN_LIB=$library "$install" --no-build "$profiles/profiles/default" >/dev/null
    # The new layers go to the temporary folder: one per run, to compare.
    env "$@" TMPDIR="$out" SCRIBELINE_SELFTEST="$session" \
        SCRIBELINE_SELFTEST_REPORT="$work/$name.report.txt" SCRIBELINE_SELFTEST_SCREENSHOT="$shot" \
        timeout 120 xvfb-run -a -n 180 -s "-screen 0 1600x1000x24 -noreset" \
        qgis --profiles-path "$profiles" --profile default --nologo --noversioncheck \
        --project "$work/project.qgs" >"$work/$name.log" 2>&1 || {
        echo "FAIL: QGIS did not quit cleanly ($name)" >&2
        tail -20 "$work/$name.log" >&2
        return 1
    }
    if [[ ! -f "$work/$name.report.txt" ]]; then
        echo "FAIL: the $name run wrote no report" >&2
        tail -20 "$work/$name.log" >&2
        return 1
    fi
    # The stable part of the report (no coordinates) against the expected text.
    if ! grep -v -e '^polygon_vertex ' -e '^layer ' "$work/$name.report.txt" | diff -u "$expected" -; then
        echo "FAIL: the $name run's report differs from the expected one" >&2
        cat "$work/$name.report.txt" >&2
        return 1
    fi
    # What the new layers hold, as GDAL reads the files.
    local shp
    for shp in "$out"/*.shp; do
        [[ -e "$shp" ]] || continue
        LC_ALL=C ogrinfo -ro -al -q "$shp" | grep -v -e '^INFO' -e 'Open of' >"$work/$name.$(basename "$shp" .shp).txt"
    done
    echo "ok   $name"
}

run_selftest plain "" "$screenshot" LANG=C.UTF-8 LC_ALL=C.UTF-8
run_selftest german de_DE "" LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
if ! diff -u "$work/plain.report.txt" "$work/german.report.txt"; then
    echo "FAIL: the German run's report differs" >&2
    exit 1
fi
for f in "$work"/plain.*.txt; do
    g="$work/german.${f#"$work"/plain.}"
    [[ "$f" == *report.txt ]] && continue
    if ! diff -u "$f" "$g"; then
        echo "FAIL: the German run stored other features ($(basename "$f"))" >&2
        exit 1
    fi
done
echo "ok   same report and features in both locales"
