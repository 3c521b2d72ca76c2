#!/usr/bin/env bash
# Inside the sandbox: starts dashrec, lets it run, then asks it to end
# through its message bus as the launcher's exit would.
set -euo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$build/dashrec/dashrec" &
pid=$!
sleep "${DASHREC_RUN_SECONDS:-5}"
"$here/post-message.sh" 348 2026 0 0
wait "$pid"
