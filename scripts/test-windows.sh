#!/usr/bin/env bash
# Cross-builds Kestrelcore, its tests and kestrel for Windows with mingw-w64 and tests them.
# Usage: scripts/test-windows.sh [--run-i686]
#   64-bit  the whole Kestrelcore suite runs under wine64 (tests that need the Linux peer
#           tools skip with a reason), the export table is checked against the .def.
#   32-bit  the export table (names, ordinals, no decoration, nothing else) and the DLL's
#           imports are checked against the .def; every test program links against the
#           stdcall-decorated import library. This machine cannot run 32-bit x86 code.
#   --run-i686  also runs the 32-bit smoke program and the API tests under qemu-i386 and
#           32-bit wine. Needs `dpkg --add-architecture i386 && apt-get install wine32:i386
#           qemu-user`, which adds an architecture and upgrades some amd64 packages: it is
#           not part of scripts/setup.sh.
# shapelib for Windows comes from the npm package gdal-async (its copy of shapelib 1.6.2),
# fetched once with `npm pack` into the user's cache folder and checked against a pinned
# checksum; nothing of it is kept in the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
run_i686=0
for arg in "$@"; do
    case "$arg" in
    --run-i686) run_i686=1 ;;
    *)
        echo "usage: $0 [--run-i686]" >&2
        exit 2
        ;;
    esac
done

# Build trees at the depth of build/release, so that ccache shares objects with other checkouts.
out="$root/build/windows"
tree() { echo "$root/build/windows-$1"; }
mkdir -p "$out"

"$root/scripts/setup.sh"
for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix npm; do
    if ! command -v "$tool" >/dev/null; then
        echo "test-windows: $tool is missing (run scripts/setup.sh)" >&2
        exit 1
    fi
done
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [[ ! -x "$wine64" || ! -d /usr/src/googletest ]]; then
    echo "test-windows: wine64 or googletest is missing (run scripts/setup.sh)" >&2
    exit 1
fi

# ---- shapelib 1.6.2 sources --------------------------------------------------------------
npm_package=gdal-async@3.12.3
tarball_name=gdal-async-3.12.3.tgz
tarball_sha256=38bd1f5af66c3f85e0b9f219fe78ed3c5c1f81763eeecaff7a1dc9385901ae10
shapelib_path=package/deps/libgdal/gdal/ogr/ogrsf_frmts/shape/shapelib
shapelib_files=(shpopen.c dbfopen.c shptree.c sbnsearch.c shapefil.h shapefil_private.h)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/scribeline/npm"
tarball="$cache/$tarball_name"
src="$out/shapelib-1.6.2"

checksum_ok() { [[ -f "$tarball" ]] && echo "$tarball_sha256  $tarball" | sha256sum -c --status; }
if ! checksum_ok; then
    mkdir -p "$cache"
    echo "test-windows: fetching $npm_package (about 49 MB) into $cache"
    (cd "$cache" && npm pack --silent "$npm_package" >/dev/null)
    if ! checksum_ok; then
        echo "test-windows: $tarball does not have the pinned checksum" >&2
        exit 1
    fi
fi
if [[ ! -f "$src/.sha256" || "$(cat "$src/.sha256")" != "$tarball_sha256" ]]; then
    rm -rf "$src"
    mkdir -p "$src"
    tar -xzf "$tarball" -C "$src" --strip-components=8 \
        "${shapelib_files[@]/#/$shapelib_path/}"
    echo "$tarball_sha256" >"$src/.sha256"
fi

# CLI11 is header-only: offer just its folder, not the host's /usr/include.
mkdir -p "$out/host-include"
ln -sfn /usr/include/CLI "$out/host-include/CLI"

# ---- configure and build -------------------------------------------------------------------
launcher=()
if command -v ccache >/dev/null; then
    ccache="cmake;-E;env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER="$ccache" -DCMAKE_CXX_COMPILER_LAUNCHER="$ccache")
fi
prefix="$(tree x86_64)/wineprefix"
# A display-less, fresh prefix: the default message box returns instead of waiting, and
# wine installs nothing (no Mono, no Gecko).
emulator="env;-u;DISPLAY;WINEPREFIX=$prefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;$wine64"

configure() { # arch, extra cmake arguments...
    local arch=$1
    shift
    cmake -S "$root" -B "$(tree "$arch")" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-$arch.cmake" \
        -DSCRIBELINE_DEVELOPER=ON -DKESTRELCORE_SHAPELIB_SOURCE="$src" \
        -DCLI11_INCLUDE_DIR="$out/host-include" "${launcher[@]}" "$@" >"$out/configure-$arch.log"
}
configure x86_64 -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator"
configure i686
cmake --build "$(tree x86_64)" -j "$(nproc)"
cmake --build "$(tree i686)" -j "$(nproc)"

# ---- 64-bit: the suite under wine64 ------------------------------------------------------------
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# wine's output goes to files: a pipe held by the wine server would keep it waiting.
stop_wineserver() { "$wineserver" -k >/dev/null 2>&1 || true; }
trap stop_wineserver EXIT
# One persistent server for the whole run (one left over from an earlier run is replaced).
# wineboot creates the prefix the first time and starts wine's services under that server,
# with their output in a file: a service started by a test would inherit ctest's pipe.
mkdir -p "$prefix"
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
"$wineserver" -p >"$out/wineserver.log" 2>&1
"$wine64" wineboot >"$out/wineboot.log" 2>&1
ctest --test-dir "$(tree x86_64)" --output-on-failure -j "$(nproc)" --timeout 600

# ---- 32-bit: exports and imports; the programs linked above ----------------------------------
ctest --test-dir "$(tree i686)" --output-on-failure -R '^kestrelcore_exports$'

# ---- 32-bit at run time (not a CI gate) --------------------------------------------------------
# qemu-user runs the 32-bit wine loader; the wine server and the 64-bit prefix are shared. One
# test per program run: start-up takes seconds, and a structured exception (which the API tests
# provoke on purpose in a few places) crashes the process under this emulation.
run_i686_programs() {
    local wine32=/usr/lib/wine/wine bin
    bin="$(tree i686)/bin"
    if ! command -v qemu-i386 >/dev/null || [[ ! -x "$wine32" ]] ||
        [[ ! -d /usr/lib/i386-linux-gnu/wine/i386-windows ]]; then
        echo "test-windows: --run-i686 needs qemu-user and wine32:i386" \
            "(dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386 qemu-user)" >&2
        return 1
    fi
    mkdir -p "$prefix/drive_c/windows/syswow64"
    cp -u /usr/lib/i386-linux-gnu/wine/i386-windows/*.dll /usr/lib/i386-linux-gnu/wine/i386-windows/*.exe \
        "$prefix/drive_c/windows/syswow64/" 2>/dev/null || true
    run32() { # log, program, arguments...
        local log=$1
        shift
        WINELOADERNOEXEC=1 qemu-i386 -R 0x82000000 "$wine32" "$@" >"$log" 2>&1
    }
    local work failed=0 n=0 name
    work="$(tree i686)/smoke-work"
    mkdir -p "$work"
    if run32 "$out/i686-smoke.log" "$bin/kestrelcore_smoke.exe" kestrelcore.dll \
        "$root/tests/data/kestrelcore/smoke/lakes" "$work" "$root/tests/data/kestrelcore/golden/smoke.txt"; then
        echo "i686 smoke: passed"
    else
        echo "i686 smoke: FAILED (see $out/i686-smoke.log)"
        failed=1
    fi
    run32 "$out/i686-list.log" "$bin/kestrelcore_api_tests.exe" --gtest_list_tests || true
    local suite=""
    while IFS= read -r line; do
        line=${line%$'\r'}
        if [[ "$line" != " "* ]]; then
            suite=${line%% *}
            continue
        fi
        name="$suite${line## }"
        name=${name%% *}
        n=$((n + 1))
        if ! run32 "$out/i686-test.log" "$bin/kestrelcore_api_tests.exe" --gtest_filter="$name"; then
            echo "i686 api: FAILED $name"
            failed=$((failed + 1))
        fi
    done < <(grep -v '^Running\|^$' "$out/i686-list.log")
    echo "i686 api: $((n - failed)) of $n tests passed"
    return $((failed > 0))
}

if ((run_i686)); then
    run_i686_programs
fi
echo "test-windows: 64-bit suite passed under wine64; 32-bit export table and imports checked"
