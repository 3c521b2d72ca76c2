#!/usr/bin/env bash
# Inside the sandbox: the board simulator plays the car, dashrec runs against
# it, and after a while the run is ended through the program's message bus as
# the launcher's exit would.
set -euo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

coproc SIM { "$build/host/board/boardsim"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
read -r -t 10 ready <&"${SIM[0]}"
[[ $ready == "[boardsim] ready" ]] || { echo "board simulator not ready: $ready" >&2; exit 1; }

cd "$build"
"$build/dashrec/dashrec" &
pid=$!
sleep "${DASHREC_RUN_SECONDS:-5}"
# The bus drops what is posted before the program listens: ask until it ends.
while kill -0 "$pid" 2>/dev/null; do
    "$here/post-message.sh" 348 2026 2>/dev/null || true
    sleep 0.5
done
wait "$pid"
