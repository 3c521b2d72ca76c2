#!/usr/bin/env bash
# fuzz_nmea.sh FUZZER SECONDS [SEED_DIR]: runs the NMEA fuzz target for a
# bounded time inside the sandbox; new inputs go to a corpus in /tmp, never
# into the seed folder.
set -euo pipefail
fuzzer=$1
seconds=$2
seeds=${3:-}
corpus=/tmp/nmea-corpus
mkdir -p "$corpus"
args=(-max_total_time="$seconds" -max_len=2048 -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 "$corpus")
[[ -n "$seeds" && -d "$seeds" ]] && args+=("$seeds")
exec "$fuzzer" "${args[@]}"
