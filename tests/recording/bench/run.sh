#!/usr/bin/env bash
# run.sh BUILD_DIR [SECONDS]: runs the recording benchmark once, in replay mode,
# in a scratch folder under the build folder.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-30}
export DASHREC_SOC_REPLAY_DIR=$build/soc-replay
mkdir -p "$DASHREC_SOC_REPLAY_DIR" "$build/tests/recording/bench/run"
cd "$build/tests/recording/bench/run"
"$build/tests/recording/bench/recording_bench" "$seconds" > bench.log 2>&1
sed -n '/==== recording benchmark/,$p' bench.log
