#!/usr/bin/env bash
# QGIS's start with and without the Scribeline plugin, in the same run: fresh profiles, one
# X server, the starts alternating. A start is timed from launching QGIS to a Python snippet
# (qgis --code) that runs once QGIS is up and, with the plugin, finds its action; the plugin's
# share is the difference of the medians. Prints both and fails when the plugin adds more than
# LIMIT seconds (default 0.5).
#
# Usage: bench/qgis_plugin_start.sh [ROUNDS]   (default 5; the plugin from build/release)
#   SCRIBELINE_PLUGIN_LIB  the plugin library to measure
#   LIMIT                  the most the plugin may add, seconds
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
limit=${LIMIT:-0.5}
library=${SCRIBELINE_PLUGIN_LIB:-"$root/build/release/qgis-plugin/libscribelineplugin.so"}
if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$@"
fi
[[ -f "$library" ]] || { echo "no plugin at $library: build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/ready.py" <<'PY'
import os
import time

from qgis.core import QgsProject
from qgis.PyQt.QtCore import QTimer
from qgis.PyQt.QtWidgets import QAction
from qgis.utils import iface

with open(os.environ["SCRIBELINE_READY_OUT"], "w") as f:
    found = iface.mainWindow().findChild(QAction, "mActionScribeline") is not None
    f.write("%.6f %s\n" % (time.time(), found))


def leave():
    QgsProject.instance().setDirty(False)
    iface.actionExit().trigger()


QTimer.singleShot(0, leave)
PY

profile() { # name, with plugin (1/0)
    local p="$work/$1/profiles/default"
    mkdir -p "$p/QGIS"
    SCRIBELINE_PLUGIN_LIB=$library "$root/scripts/install-qgis-plugin.sh" --no-build "$p" >/dev/null
    # Without: installed and taken out again, so both profiles have the same settings file.
    if [[ $2 == 0 ]]; then
        "$root/scripts/install-qgis-plugin.sh" --uninstall "$p" >/dev/null
    fi
}
profile with 1
profile without 0

start() { # name → seconds from launch to ready, and whether the action was found
    local out="$work/$1.ready"
    rm -f "$out"
    local t0
    t0=$(date +%s.%N)
    SCRIBELINE_READY_OUT=$out timeout 120 qgis --profiles-path "$work/$1" --profile default \
        --nologo --noversioncheck --code "$work/ready.py" >"$work/$1.log" 2>&1
    read -r t1 found <"$out"
    LC_ALL=C awk -v a="$t0" -v b="$t1" -v f="$found" 'BEGIN { printf "%.3f %s\n", b - a, f }'
}

# A first start of each fills the caches; it is not counted.
start with >/dev/null
start without >/dev/null
: >"$work/with.times"
: >"$work/without.times"
for ((i = 0; i < rounds; i++)); do
    read -r t found < <(start with)
    [[ "$found" == "True" ]] || { echo "the plugin's action is missing" >&2; exit 1; }
    echo "$t" >>"$work/with.times"
    read -r t found < <(start without)
    echo "$t" >>"$work/without.times"
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
with=$(median "$work/with.times")
without=$(median "$work/without.times")
LC_ALL=C awk -v w="$with" -v wo="$without" -v n="$rounds" -v lim="$limit" 'BEGIN {
    printf "QGIS start to ready, median of %d: %.3f s with the plugin, %.3f s without\n", n, w, wo
    printf "the plugin adds %.3f s (limit %.3f s)\n", w - wo, lim
    exit (w - wo > lim) ? 1 : 0
}'
