#!/usr/bin/env bash
# Installs the Debian packages the build, the run and the tests need; only
# what is missing, so a prepared machine does nothing here.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
read -r -a wanted <<< "$(tr '\n' ' ' < "$here/packages.txt")"
missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if (( ${#missing[@]} )); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    [[ $EUID -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
