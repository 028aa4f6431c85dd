#!/usr/bin/env bash
# scripts/install-qgis-plugin.sh against throw-away profiles: a fresh one and one with settings
# of its own. Usage: install_test.sh SCRIPT PLUGIN_LIBRARY
set -euo pipefail
script=$1
export SCRIBELINE_PLUGIN_LIB=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, command...
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
has_line() { grep -qxF -- "$2" "$1"; }
count_of() { grep -o -- "$2" "$1" | wc -l; }

# A fresh profile: the folder, the library and the settings are made.
fresh="$work/fresh"
"$script" --no-build "$fresh" >/dev/null
check "fresh: library copied" cmp -s "$SCRIBELINE_PLUGIN_LIB" "$fresh/scribeline/libscribelineplugin.so"
check "fresh: search path set" has_line "$fresh/QGIS/QGIS3.ini" "searchPathsForPlugins=$fresh/scribeline"
check "fresh: plugin enabled" has_line "$fresh/QGIS/QGIS3.ini" "libscribelineplugin=true"
"$script" --uninstall "$fresh" >/dev/null
check "fresh: uninstall removes the folder" test ! -e "$fresh/scribeline"
check "fresh: uninstall leaves no plugin setting" test "$(grep -c scribeline "$fresh/QGIS/QGIS3.ini" || true)" = 0

# A profile with settings of its own, another plugin folder among them.
used="$work/used"
mkdir -p "$used/QGIS"
cat >"$used/QGIS/QGIS3.ini" <<'INI'
[General]
locale\userLocale=de_DE
locale\overrideFlag=true

[Plugins]
zonalstatisticsplugin=true

[plugins]
searchPathsForPlugins=/opt/other-plugins
INI
cp "$used/QGIS/QGIS3.ini" "$work/before.ini"
"$script" --no-build "$used" >/dev/null
cp "$used/QGIS/QGIS3.ini" "$work/once.ini"
"$script" --no-build "$used" >/dev/null
check "used: a second install changes nothing" cmp -s "$work/once.ini" "$used/QGIS/QGIS3.ini"
check "used: both search paths, ours once" has_line "$used/QGIS/QGIS3.ini" \
    "searchPathsForPlugins=/opt/other-plugins|$used/scribeline"
check "used: the locale is kept" has_line "$used/QGIS/QGIS3.ini" 'locale\userLocale=de_DE'
check "used: other plugins stay enabled" has_line "$used/QGIS/QGIS3.ini" "zonalstatisticsplugin=true"
check "used: one enabling line" test "$(count_of "$used/QGIS/QGIS3.ini" libscribelineplugin)" = 1
"$script" --uninstall "$used" >/dev/null
"$script" --uninstall "$used" >/dev/null
check "used: uninstall gives back the other plugin folder" has_line "$used/QGIS/QGIS3.ini" \
    "searchPathsForPlugins=/opt/other-plugins"
check "used: uninstall keeps the other settings" has_line "$used/QGIS/QGIS3.ini" \
    "zonalstatisticsplugin=true"
check "used: nothing of ours is left" test "$(grep -c scribeline "$used/QGIS/QGIS3.ini" || true)" = 0

# Bad use.
set +e
"$script" --bogus "$work/x" >/dev/null 2>&1
check "an unknown option is refused" test $? = 2
"$script" --no-build "$work/a" "$work/b" >/dev/null 2>&1
check "two profiles are refused" test $? = 2
SCRIBELINE_PLUGIN_LIB="$work/missing.so" "$script" --no-build "$work/c" >/dev/null 2>&1
check "a missing library is an error" test $? = 1
set -e

exit $((failures > 0))
