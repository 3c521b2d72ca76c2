#!/usr/bin/env bash
# Sets up, builds and runs every test. With DASHREC_SANITIZE=1 the suite is
# built with AddressSanitizer and UndefinedBehaviorSanitizer instead: that
# build takes twice as long, so it is run by hand rather than on every push.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
host/scripts/setup.sh

dir=build/test
args=()
if [ "${DASHREC_SANITIZE:-0}" = 1 ]; then
    dir=build/test-sanitize
    args=(-DDASHREC_SANITIZE=ON)
    export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
fi
host/scripts/build.sh "$dir" "${args[@]}"
# Media tests run cameras and encoders in real time: one that a loaded
# machine made miss its mark runs once more.
ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --timeout 600 --repeat until-pass:2
