#!/usr/bin/env bash
# Installs Scribeline into QGIS 3: builds the plugin, copies it into a QGIS profile, adds that
# folder to QGIS's C++ plugin search paths and enables the plugin. Running it again changes
# nothing; --uninstall undoes all of it (other settings of the profile are kept).
#
# Usage: scripts/install-qgis-plugin.sh [--uninstall] [--no-build] [PROFILE_FOLDER]
#   PROFILE_FOLDER  the QGIS profile (default: ~/.local/share/QGIS/QGIS3/profiles/default)
#   --no-build      install the library named by $SCRIBELINE_PLUGIN_LIB (or the one already
#                   built in build/release) without building
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

uninstall=0
build=1
profile=""
for arg in "$@"; do
    case "$arg" in
    --uninstall) uninstall=1 ;;
    --no-build) build=0 ;;
    -h | --help)
        sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    -*)
        echo "install-qgis-plugin: unknown option $arg" >&2
        exit 2
        ;;
    *)
        if [[ -n "$profile" ]]; then
            echo "install-qgis-plugin: one profile folder only" >&2
            exit 2
        fi
        profile=$arg
        ;;
    esac
done
profile=${profile:-"$HOME/.local/share/QGIS/QGIS3/profiles/default"}
folder="$profile/scribeline"
ini="$profile/QGIS/QGIS3.ini"
library=libscribelineplugin.so

# Edits QGIS3.ini in place: QGIS reads the plugin folders from plugins/searchPathsForPlugins
# ('|'-separated) and loads a C++ plugin at start when Plugins/<library base name> is true.
edit_ini() {
    python3 - "$ini" "$folder" "$1" <<'PY'
import configparser, os, sys
ini, folder, action = sys.argv[1], sys.argv[2], sys.argv[3]
# QSettings' INI: keys are case-sensitive, values are kept verbatim.
config = configparser.RawConfigParser(strict=False, delimiters=("=",), comment_prefixes=(";",),
                                      empty_lines_in_values=False)
config.optionxform = str
if os.path.exists(ini):
    with open(ini, encoding="utf-8") as f:
        config.read_file(f)
def paths():
    if not config.has_option("plugins", "searchPathsForPlugins"):
        return []
    return [p for p in config.get("plugins", "searchPathsForPlugins").split("|") if p]
current = paths()
if action == "install":
    for section in ("plugins", "Plugins"):
        if not config.has_section(section):
            config.add_section(section)
    if folder not in current:
        current.append(folder)
    config.set("plugins", "searchPathsForPlugins", "|".join(current))
    config.set("Plugins", "libscribelineplugin", "true")
else:
    if folder in current:
        current.remove(folder)
        if current:
            config.set("plugins", "searchPathsForPlugins", "|".join(current))
        else:
            config.remove_option("plugins", "searchPathsForPlugins")
    if config.has_section("Plugins"):
        config.remove_option("Plugins", "libscribelineplugin")
    for section in ("plugins", "Plugins"):
        if config.has_section(section) and not config.items(section):
            config.remove_section(section)
os.makedirs(os.path.dirname(ini), exist_ok=True)
tmp = ini + ".scribeline-tmp"
with open(tmp, "w", encoding="utf-8") as f:
    config.write(f, space_around_delimiters=False)
os.replace(tmp, ini)
PY
}

if ((uninstall)); then
    rm -f "$folder/$library"
    rmdir "$folder" 2>/dev/null || true
    if [[ -f "$ini" ]]; then
        edit_ini uninstall
    fi
    echo "Scribeline removed from the QGIS profile $profile"
    exit 0
fi

source_lib=${SCRIBELINE_PLUGIN_LIB:-"$root/build/release/qgis-plugin/$library"}
if ((build)) && [[ -z "${SCRIBELINE_PLUGIN_LIB:-}" ]]; then
    "$root/scripts/setup.sh"
    dir="$root/build/release"
    if [[ ! -f "$dir/build.ninja" ]]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$dir" --target scribelineplugin
fi
if [[ ! -f "$source_lib" ]]; then
    echo "install-qgis-plugin: $source_lib is missing (build it, or drop --no-build)" >&2
    exit 1
fi
mkdir -p "$folder"
# Copied through a temporary name, so a running QGIS never maps a half-written library.
if ! cmp -s "$source_lib" "$folder/$library"; then
    cp "$source_lib" "$folder/$library.tmp"
    mv -f "$folder/$library.tmp" "$folder/$library"
fi
edit_ini install
echo "Scribeline installed into the QGIS profile $profile"
echo "Start QGIS: the Scribeline button is on the Plugins toolbar and in Plugins > Scribeline."
