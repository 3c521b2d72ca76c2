#!/usr/bin/env bash
# Sets up, builds and runs every test. With DASHREC_SANITIZE=1 the suite is
# built with AddressSanitizer and UndefinedBehaviorSanitizer instead, with
# DASHREC_TSAN=1 with ThreadSanitizer, where a race report fails its case:
# those builds take twice as long, so they are run by hand rather than on
# every push.
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
elif [ "${DASHREC_TSAN:-0}" = 1 ]; then
    dir=build/test-tsan
    args=(-DDASHREC_TSAN=ON)
fi
host/scripts/build.sh "$dir" "${args[@]}"
ctest_run() {
    ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --timeout 600 "$@"
}
status=0
ctest_run || status=$?
((status != 0)) || exit 0

# The cases labelled "realtime" run cameras and encoders in real time (the
# engine, recording, video output, playback, the phone's live stream, live
# view, run mode and service screens, and the integration runs of the
# recorder): a loaded machine may make one miss its mark, so those, and only
# those, run once more.
labelled() {
    ctest --test-dir "$dir" -N -L "^$1$" | sed -n 's/^ *Test *#[0-9]*: //p'
}
failed=$(sed 's/^[0-9]*://' "$dir/Testing/Temporary/LastTestsFailed.log")
retried=$(labelled realtime)
# Without the replay loops (ReplayLoops makes them first), the cases that
# need them did not run at all: they run with it.
if grep -q '^ReplayLoops\.' <<< "$failed"; then
    retried+=$'\n'$(labelled replay)
fi
others=$(grep -vxF -f <(echo "$retried") <<< "$failed" || true)
if [[ -n $others ]]; then
    echo "failed: $others" | tr '\n' ' '
    echo
    exit "$status"
fi
echo "running the failed real-time cases once more: $failed" | tr '\n' ' '
echo
ctest_run --rerun-failed
