#!/bin/sh
# sandbox.sh COMMAND [ARGS...]: the board's sandbox (see sandbox.py).
exec /usr/bin/python3 -S "$(dirname "$0")/sandbox.py" "$@"
