#!/usr/bin/env bash
# run_fuzz.sh FUZZER SECONDS [-flag=value...] [SEED...]: runs a fuzz target for
# a bounded time from its seeds (files or folders), with the given libFuzzer
# flags. New inputs go to a scratch corpus, never into the seeds; a crash
# input is left in the working folder and fails the run.
set -euo pipefail
fuzzer=$1
seconds=$2
shift 2
corpus=$(mktemp -d "${TMPDIR:-/tmp}/corpus.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1
    -artifact_prefix="$PWD/$(basename "$fuzzer")-")
folders=()
for arg in "$@"; do
    if [[ $arg == -* ]]; then
        args+=("$arg")
    elif [[ -d $arg ]]; then
        folders+=("$arg")
    elif [[ -f $arg ]]; then
        cp "$arg" "$corpus/"
    fi
done
"$fuzzer" "${args[@]}" "$corpus" "${folders[@]}"
