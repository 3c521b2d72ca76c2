#!/usr/bin/env bash
# post-message.sh WND CMD [PARAM1 [PARAM2]]: posts one message on the device's
# message bus, as one of its threads would.
set -euo pipefail
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(( $1 & 255 )) $(( ($1 >> 8) & 255 )) $(( ($1 >> 16) & 255 )) $(( ($1 >> 24) & 255 )))"; }
{ le32 "$1"; le32 "$2"; le32 "${3:-0}"; le32 "${4:-0}"; le32 0; le32 0; } | socat -u - UNIX-SENDTO:/tmp/uds_11
