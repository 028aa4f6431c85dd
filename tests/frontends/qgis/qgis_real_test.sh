#!/usr/bin/env bash
# The plugin in the real QGIS under Xvfb: installed with the install script into a fresh
# profile, driven by qgis_check.py through QGIS's widgets, once in the C locale and once with
# LANG, LC_ALL and QGIS's own locale German (decimal comma); both runs must see the same.
# Usage: qgis_real_test.sh INSTALL_SCRIPT PLUGIN_LIBRARY CHECK_SCRIPT EXPECTED_FILE
set -euo pipefail
install=$1
library=$2
check=$3
expected=$4
for tool in qgis xvfb-run; do
    if ! command -v "$tool" >/dev/null; then
        if [[ "${CI:-}" == "true" ]]; then
            echo "FAIL: $tool is missing" >&2
            exit 1
        fi
        echo "SKIP: $tool is not installed"
        exit 0
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/points.geojson" <<'JSON'
{"type":"FeatureCollection","features":[{"type":"Feature","properties":{"id":1},"geometry":{"type":"Point","coordinates":[11.0,47.5]}}]}
JSON

run_qgis() { # name, QGIS locale (empty: QGIS's default), environment...
    local name=$1 qgis_locale=$2
    shift 2
    local profiles="$work/$name"
    mkdir -p "$profiles/profiles/default/QGIS"
    if [[ -n "$qgis_locale" ]]; then
        printf '[locale]\nuserLocale=%s\noverrideFlag=true\nglobalLocale=%s\n' \
            "$qgis_locale" "$qgis_locale" >"$profiles/profiles/default/QGIS/QGIS3.ini"
    fi
    SCRIBELINE_PLUGIN_LIB=$library "$install" --no-build "$profiles/profiles/default" >/dev/null
    env "$@" SCRIBELINE_QGIS_CHECK_OUT="$work/$name.txt" \
        SCRIBELINE_QGIS_CHECK_LAYER="$work/points.geojson" \
        timeout 120 xvfb-run -a -n 170 -s "-screen 0 1600x1000x24 -noreset" \
        qgis --profiles-path "$profiles" --profile default --nologo --noversioncheck \
        --code "$check" >"$work/$name.log" 2>&1 || {
        echo "FAIL: QGIS did not quit cleanly ($name)" >&2
        tail -20 "$work/$name.log" >&2
        return 1
    }
    if ! diff -u "$expected" "$work/$name.txt"; then
        echo "FAIL: the $name run saw something else" >&2
        return 1
    fi
    echo "ok   $name"
}

run_qgis plain "" LANG=C.UTF-8 LC_ALL=C.UTF-8
run_qgis german de_DE LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
