#!/usr/bin/env bash
# card-files.sh IMAGE [PATTERN]: the visible files of the card in IMAGE (an SD
# image, its volume at 1 MiB), one path a line below the root ("NORMAL/x.MP4"),
# whose names match the shell PATTERN (every file without one). Hidden files,
# the free pre-allocated ones, are left out, as a card reader shows the card.
set -euo pipefail
export MTOOLS_SKIP_CHECK=1
image=$1
pattern=${2:-*}
mdir -i "$image@@1M" -/ -b ::/ | while read -r path; do
    path=${path#::/}
    [[ $path == */ || -z $path ]] && continue
    # shellcheck disable=SC2053
    [[ $(basename "$path") == $pattern ]] && echo "$path"
done
