#!/usr/bin/env bash
# build.sh DIR [CMAKE ARGS...]: configures and builds the tree into DIR.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dir=$1
shift
mkdir -p "$dir"
cmake -S "$top" -B "$dir" -G Ninja -Wno-dev "$@" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
ninja -C "$dir"
