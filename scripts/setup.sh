#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when everything
# is present it only runs dpkg-query and returns in well under a second.
# Usage: scripts/setup.sh [--fuzz]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here/packages.txt")
[[ "${1:-}" == "--fuzz" ]] && lists+=("$here/packages-fuzz.txt")

wanted=$(grep -hv '^\s*#' "${lists[@]}" | awk 'NF {print $1}')
missing=()
for pkg in $wanted; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi
echo "setup: installing ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
