#!/usr/bin/env bash
# Writes the README's picture of QGIS with the Scribeline globe dock, the digitizer window and
# the layers a session stored: the plugin's self-test played in the real QGIS under Xvfb (the
# screen is taken before the session closes the digitizer window).
# Usage: scripts/qgis-plugin-screenshot.sh [OUT.png]   (default docs/images/qgis-plugin.png)
#   SCRIBELINE_PLUGIN_LIB  the plugin library (default: the one in build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/images/qgis-plugin.png}")
library=${SCRIBELINE_PLUGIN_LIB:-"$root/build/release/qgis-plugin/libscribelineplugin.so"}
[[ -f "$library" ]] || { echo "no plugin at $library: build it first" >&2; exit 1; }
tests="$root/tests/frontends/qgis"
"$tests/qgis_selftest.sh" "$root/scripts/install-qgis-plugin.sh" "$library" \
    "$tests/selftest_session.json" "$tests/qgis_selftest.expected" \
    "$root/examples/user_dem/make_dem.sh" "$out"
echo "$out"
