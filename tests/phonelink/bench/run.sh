#!/usr/bin/env bash
# run.sh BUILD_DIR: the get_file throughput bench, in a sandbox of its own.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
build=${1:-$top/build/dev}
ninja -C "$build" phonelink_bench > /dev/null
DASHREC_SANDBOX_NETWORK=own exec "$top/host/sandbox/sandbox.sh" "$build/tests/phonelink/phonelink_bench" > /dev/null
