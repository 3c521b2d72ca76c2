#!/usr/bin/env bash
# Sets up, builds and runs every test: once as built, once more with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
host/scripts/setup.sh
jobs=$(nproc)

run_suite() {
    local dir=$1
    shift
    mkdir -p "$(dirname "$dir")"
    host/scripts/build.sh "$dir" "$@"
    # Media tests run cameras and encoders in real time: one that a loaded
    # machine made miss its mark runs once more.
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 --repeat until-pass:2
}

run_suite build/test
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build/test-sanitize -DDASHREC_SANITIZE=ON
