#!/usr/bin/env bash
# Sets up, builds and runs the recorder on this PC inside the sandbox.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
host/scripts/setup.sh
host/scripts/build.sh build/run -DDASHREC_TESTS=OFF

run_dir="$top/build/run/sandbox"
rm -rf "$run_dir"
mkdir -p "$run_dir"
DASHREC_SANDBOX_ROOT="$run_dir" host/sandbox/sandbox.sh host/scripts/run-inside.sh "$top/build/run"
echo
echo "The run's files are in $run_dir (tmp, mnt, data: the device's /tmp, /mnt, /data)."
