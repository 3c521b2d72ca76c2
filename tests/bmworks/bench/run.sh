#!/usr/bin/env bash
# run.sh BUILD_DIR [SECONDS]: runs the engine benchmark once. The replay loops
# are prepared by a first run of their own, so that the measured process
# never holds a live encoder.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-45}
bench=$build/tests/bmworks/bench/bmworks_bench
export DASHREC_SOC_REPLAY_DIR=$build/soc-replay
mkdir -p "$DASHREC_SOC_REPLAY_DIR"
cd "$build/tests/bmworks/bench"
"$bench" --prepare > prepare.log 2>&1
"$bench" "$seconds" > bench.log 2>&1
sed -n '/==== engine benchmark/,$p' bench.log
