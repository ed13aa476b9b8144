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

# Wine's server sleeps in the kernel between requests, however busy it is.
# One that has stayed runnable without once giving up the processor for two
# minutes is in a loop of its own (seen in the guest: every process waiting
# for it, none of them to blame). Counts from the first look that finds it so.
SPIN_SECONDS=120
declare -A SPIN_SINCE=() SPIN_SWITCHES=()
server_spinning() {
    local server switches
    for server in $(pgrep wineserver); do
        # A server that sleeps, busy or idle, is found runnable only now and
        # then; its switch count is what tells the two apart.
        switches=$(awk '/^State:/ { state = $2 } /^voluntary_ctxt_switches/ { print state, $2 }' \
            "/proc/$server/status" 2>/dev/null) || continue
        if [ "${switches%% *}" != R ] || [ "$switches" != "${SPIN_SWITCHES[$server]:-}" ]; then
            SPIN_SWITCHES[$server]=$switches
            SPIN_SINCE[$server]=$SECONDS
        elif [ $((SECONDS - SPIN_SINCE[$server])) -ge "$SPIN_SECONDS" ]; then
            SPINNING=$server
            return 0
        fi
    done
    return 1
}

# What every process, and Wine's server above all, was doing.
show_processes() {
    echo "Its processes then (threads; wchan is where each one sleeps in the kernel):"
    ps -eLo pid,tid,stat,pcpu,time,wchan:28,args
    local server
    for server in $(pgrep wineserver); do
        echo "Wine's server, $server, in system call: $(cat "/proc/$server/syscall")"
        timeout 10 strace -c -p "$server" 2>&1 | tail -n 25
        # Where it runs, sampled: the loop's addresses in the server.
        for _ in 1 2 3; do
            timeout 60 gdb -batch -nx -p "$server" -ex 'info registers eip' -ex 'x/12i $pc' \
                -ex 'bt 12' 2>&1 | grep -E '^(eip|=>|#)| <' | head -n 30
        done
        grep -E 'wineserver|r-xp' "/proc/$server/maps" | head -n 4
        # Kept for a closer look beside the tree's binaries, where the next
        # run, which empties build/win32-run, leaves it.
        mkdir -p build/win32-cores
        timeout 300 gdb -batch -nx -p "$server" \
            -ex "gcore build/win32-cores/wineserver-$(date +%Y%m%d-%H%M%S)-$server.core" 2>&1 | grep -i 'saved' || true
    done
    echo "The kernel's last words, $(cut -d' ' -f1 /proc/uptime) s after it started:"
    dmesg | tail -n 20
}

# Runs a test program, its output shown as it comes, for at most the seconds
# given. Its tests bound their own waits, so one still running then waits
# where nothing bounds it or has stopped answering: the failure says which test
# it was in and what every process was doing, and ends them all. Returns 3
# when Wine's server was found in a loop of its own.
run_test_program() {
    local test=$1 seconds=$2 log program shown status=0 in
    log=$(mktemp)
    "$WINE" "$test" >"$log" 2>&1 &
    program=$!
    tail -n +1 -f --pid="$program" "$log" &
    shown=$!
    SPINNING=""
    SPIN_SINCE=() SPIN_SWITCHES=()
    ended() { ! kill -0 "$program" 2>/dev/null || server_spinning; }
    last_test() { grep '^\[ RUN' "$log" | tail -n 1 | cut -c 14-; }
    if ! await_within "$seconds" "$test to end" ended || [ -n "$SPINNING" ]; then
        in=$(last_test)
        if [ -n "$SPINNING" ]; then
            echo "Wine's server, $SPINNING, ran for $SPIN_SECONDS s without once waiting, while $test was in $in."
        else
            echo "$test ran past $seconds s, in $in."
        fi
        show_processes
        kill -KILL "$program"
        # A server in a loop never reads the request to stop.
        [ -z "$SPINNING" ] || kill -KILL "$SPINNING"
        bounded 60 "Wine to stop" "$WINESERVER" -k || true
        [ -n "$SPINNING" ] && status=3
    fi
    if [ "$status" = 3 ]; then wait "$program" || true; else wait "$program" || status=$?; fi
    wait "$shown" || true
    # A program that dies in a way Wine cannot report (a stack overflow) may
    # end with status 0: it passed only if GoogleTest said so at its end.
    if [ "$status" = 0 ] && ! grep -q '^\[  PASSED  \]' "$log"; then
        echo "$test ended without its summary, in $(last_test)."
        status=1
    fi
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
        run_test_program "$test" 1200 && continue
        # Wine's own loop is no verdict on the clock: the program is run once
        # more in a new server, and a second loop fails the stage.
        if [ $? = 3 ]; then
            echo "$test is run once more, in a new X display and Wine server, as Wine's server ended in a loop of its own."
            await "Wine's server to end" eval "! kill -0 $SPINNING 2>/dev/null"
            stop_session
            start_xvfb
            start_wine "$DESKCLOCK_WIN32_PREFIX"
            run_test_program "$test" 1200 && continue
        fi
        status=1
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
