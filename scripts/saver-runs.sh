# Sourced by the scripts that measure the real program from outside. Builds it and the swap
# counter (bench/SwapCounter.cpp), and runs it with the counter preloaded.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
binary=$root/build/vornelle
counter=$root/build/bench/libvornelle_swap_counter.so
floor=$root/build/bench/vornelle_glx_floor

# build_for_measuring [PACKAGE...]: also installs the packages named.
build_for_measuring() {
    "$root/scripts/install-deps" "$@"
    cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build" --parallel 2 --target vornelle vornelle_swap_counter \
        vornelle_glx_floor >/dev/null
}

# Wall-clock nanoseconds, without starting a process.
now_ns() {
    local micro=${EPOCHREALTIME/[.,]/}
    echo "${micro}000"
}

# start_saver LOG [ENV-ARGUMENT...]: starts the program with the counter writing to LOG, the
# arguments given to env(1) first (VAR=VALUE or -u VAR); sets saver_pid.
start_saver() {
    local log=$1
    shift
    env "$@" VORNELLE_SWAP_LOG="$log" LD_PRELOAD="$counter" "$binary" /s &
    saver_pid=$!
}

# pause SECONDS: sleeps without starting a process, so polling does not compete for the CPU
# with the program being measured.
exec {pause_fd}<> <(:)
pause() {
    read -rt "$1" -u "$pause_fd" || true
}

# wait_for_first_swap LOG: prints the time of the first swap, or fails after ten seconds.
wait_for_first_swap() {
    local line=""
    for _ in $(seq 2000); do
        [ -s "$1" ] && read -r line <"$1"
        case "$line" in first\ *) echo "${line#first }"; return 0 ;; esac
        kill -0 "$saver_pid" 2>/dev/null || return 1
        pause 0.005
    done
    return 1
}

# stop_saver: ends the program with Escape, as a person would; kills it if that fails.
stop_saver() {
    xdotool key Escape
    for _ in $(seq 100); do
        kill -0 "$saver_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill "$saver_pid" 2>/dev/null || true
    wait "$saver_pid" 2>/dev/null || true
}

# swap_summary LOG: prints "count first last" from the line the counter writes at exit.
swap_summary() {
    local line
    line=$(grep -m1 '^swaps ' "$1")
    echo "${line#swaps }"
}

# median: of the numbers on standard input, one per line.
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
