#!/usr/bin/env bash
# run.sh [SCENARIO]: sets up, builds and runs the recorder on this PC inside
# the sandbox, the board simulator playing SCENARIO (host/scenarios/drive.scn:
# a drive, a shock, parking, someone walking past, the ignition on again and
# the supply cut).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scenario=$(realpath "${1:-$top/host/scenarios/drive.scn}")
cd "$top"
host/scripts/setup.sh
host/scripts/build.sh build/run -DDASHREC_TESTS=OFF

# The card's loop devices need root: the run itself goes through sudo when it is at hand.
as_root=()
if [[ $EUID -ne 0 ]] && command -v sudo > /dev/null; then
    export XAUTHORITY=${XAUTHORITY:-$HOME/.Xauthority}
    as_root=(sudo --preserve-env=DISPLAY,XAUTHORITY,DASHREC_SOC_VENC)
fi
sandbox=$top/build/run/sandbox
out=$top/build/run/output
"${as_root[@]}" rm -rf "$sandbox" "$out"
mkdir -p "$sandbox"
status=0
"${as_root[@]}" env DASHREC_SANDBOX_ROOT="$sandbox" host/sandbox/sandbox.sh host/scripts/run-inside.sh \
    "$top/build/run" "$scenario" "$out" || status=$?
((${#as_root[@]} == 0)) || "${as_root[@]}" chown -R "$(id -u):$(id -g)" "$sandbox" "$out"

echo
echo "The run ended (status $status). What it left:"
echo "  recordings:  $out/recordings ($(find "$out/recordings" -type f 2>/dev/null | wc -l) files)"
echo "  card log:    $out/card-log (HISTORY.DM1, HISTORY.DM0)"
echo "  screenshots: $out/screenshots ($(find "$out/screenshots" -name '*.png' 2>/dev/null | wc -l) pictures)"
echo "  the card:    $out/sd.img (its volume at 1 MiB: MTOOLS_SKIP_CHECK=1 mdir -i $out/sd.img@@1M ::/)"
echo "  logs:        $out/dashrec.log, $out/boardsim.log, $out/mcu.log; encoding: $(cat "$out/encoder" 2>/dev/null)"
echo "  the device's /tmp, /mnt, /data: $sandbox"
exit "$status"
