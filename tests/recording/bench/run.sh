#!/usr/bin/env bash
# run.sh BUILD_DIR [RUNS] [SECONDS]: the recording benchmark (RUNS alternating
# recordings and batch-pipeline anchors of SECONDS each) and the memory
# benchmark of both cameras' pre-record buffers, in replay mode, in a
# scratch folder under the build folder. The replay loops are prepared by
# a run of their own, so that no measured process holds a live encoder.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
runs=${2:-9}
seconds=${3:-20}
export DASHREC_SOC_REPLAY_DIR=$build/soc-replay
bench=$build/tests/recording/bench
mkdir -p "$DASHREC_SOC_REPLAY_DIR" "$bench/run"
cd "$bench/run"
timeout 900 "$build/tests/bmworks/bench/bmworks_bench" --prepare > prepare.log 2>&1
timeout 300 "$bench/memory_bench" > memory.log 2>&1
sed -n '/==== memory benchmark/,$p' memory.log
timeout $((runs * (seconds * 2 + 120) + 300)) "$bench/recording_bench" "$runs" "$seconds" > bench.log 2>&1
sed -n '/^run \|==== recording benchmark/,$p' bench.log
