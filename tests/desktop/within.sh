# shellcheck shell=bash
# Sourced by the desktop tests. within TENTHS COMMAND...: polls COMMAND for up to TENTHS tenths
# of a second until it succeeds; fails when it never does.
within() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
