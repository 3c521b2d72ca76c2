# Sourced by every shim: one line per call, "<program> <args>", in the sandbox's log.
shim_log() {
    [[ -n "${DASHREC_HOST_DIR:-}" ]] || return 0
    echo "$(basename "$0") $*" >> "$DASHREC_HOST_DIR/shims.log"
}
