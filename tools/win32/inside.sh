#!/usr/bin/env bash
# The jobs tools/win32/run.sh runs in the 32-bit Wine tree or guest:
#   test    the win32 build's Windows tests under ctest in a private Xvfb
#   clock   the shipped build/win32/deskclock.exe: on $DISPLAY until Esc when
#           one is given, otherwise headless, with the pictures of
#           tools/run.sh in build/win32-pictures/
set -euo pipefail
. tools/wine-session.sh

# The tree's 32-bit Wine, in a prefix of its own (see tools/win32/run.sh).
WINE=/usr/bin/wine
WINESERVER=/usr/lib/wine/wineserver32
export WINEARCH=win32

trap stop_session EXIT

# Runs a test program, its output shown as it comes, for at most the seconds
# given. Its tests bound their own waits, so one still running then waits
# where nothing bounds it or has stopped answering: the failure says which test
# it was in and what every process was doing, and ends them all.
run_test_program() {
    local test=$1 seconds=$2 log program shown status=0
    log=$(mktemp)
    "$WINE" "$test" >"$log" 2>&1 &
    program=$!
    tail -n +1 -f --pid="$program" "$log" &
    shown=$!
    if ! await_within "$seconds" "$test to end" eval "! kill -0 $program 2>/dev/null"; then
        echo "$test ran past $seconds s, in $(grep '^\[ RUN' "$log" | tail -n 1 | cut -c 14-)."
        echo "Its processes then (threads; wchan is where each one sleeps in the kernel):"
        ps -eLo pid,tid,stat,pcpu,time,wchan:28,args
        # Wine's server has been seen running flat out while every process
        # waited for it: its system calls, or the lack of them, tell how.
        for server in $(pgrep wineserver); do
            echo "Wine's server, $server, in system call: $(cat "/proc/$server/syscall")"
            timeout 10 strace -c -p "$server" 2>&1 | tail -n 25
            timeout 2 strace -p "$server" 2>&1 | head -n 40
        done
        echo "The kernel's last words, $(cut -d' ' -f1 /proc/uptime) s after it started:"
        dmesg | tail -n 20
        kill -KILL "$program"
        bounded 60 "Wine to stop" "$WINESERVER" -k || true
    fi
    wait "$program" || status=$?
    wait "$shown" || true
    rm -f "$log"
    return "$status"
}

case $1 in
test)
    start_xvfb
    start_wine "$DESKCLOCK_WIN32_PREFIX"
    echo "win32: $(wine --version), $(uname -m) kernel $(uname -r), route $DESKCLOCK_WIN32_ROUTE"
    # The test programs are run as they are, not through the host's ctest,
    # whose generated files need the same CMake in the tree. The guest runs
    # the black-box tests only, for time.
    tests="build/win32/blackbox_test.exe"
    [ "$DESKCLOCK_WIN32_ROUTE" = guest ] || tests="build/win32/inprocess_test.exe $tests"
    status=0
    for test in $tests; do
        run_test_program "$test" 1200 || status=1
    done
    exit "$status"
    ;;
clock)
    if [ -n "${DISPLAY:-}" ]; then
        start_wine "$DESKCLOCK_WIN32_PREFIX"
        "$WINE" build/win32/deskclock.exe
    else
        start_xvfb
        start_wine "$DESKCLOCK_WIN32_PREFIX"
        capture_pictures build/win32/deskclock.exe build/win32-pictures
    fi
    ;;
*)
    echo "usage: $0 test|clock" >&2
    exit 2
    ;;
esac
