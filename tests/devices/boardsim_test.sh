#!/usr/bin/env bash
# boardsim as a run starts it, inside the sandbox: it says when it is ready,
# answers START on /dev/ttyS1 with the MCU's information frame, records the
# program's frames in "$DASHREC_HOST_DIR/mcu.log" and ends at power-off.
set -euo pipefail
# A program of another architecture runs through the emulator the build names.
sim=(${DASHREC_EMULATOR:-} "$1")

printf '0s acc on 12.4V\n' > /tmp/drive.scn
coproc SIM { "${sim[@]}" /tmp/drive.scn; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
read -r -t 5 ready <&"${SIM[0]}"
[[ $ready == "[boardsim] ready" ]] || { echo "not ready: $ready"; exit 1; }
[[ $(cat /sys/class/gpio/gpio365/value) == 0 ]] || { echo "B+ is not laid out present"; exit 1; }

exec 3<>/dev/ttyS1
stty -F /dev/ttyS1 raw -echo
printf 'MD\x04\x00\x00\x0d' >&3 # START

# Status frames come every 500 ms; the information frame answers START.
frames=$(timeout 3 head -c 48 <&3 | od -An -v -tx1 -w6 || true)
echo "$frames"
grep -q '48 4c 84 07 10' <<<"$frames" || { echo "no information frame (version 7, booted on ACC)"; exit 1; }
grep -q '48 4c 88 00 03' <<<"$frames" || { echo "no status frame with supply and ACC"; exit 1; }

printf 'MD\x01\x00\x05\x0d' >&3 # POWER_OFF, ACC off
timeout 5 tail --pid="$sim_pid" -f /dev/null || { echo "boardsim did not end at power-off"; exit 1; }
diff <(printf 'START 0 0\nPOWER_OFF 0 5\n') "$DASHREC_HOST_DIR/mcu.log"
