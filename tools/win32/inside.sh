#!/usr/bin/env bash
# The jobs tools/win32/run.sh runs in the 32-bit Wine tree or guest:
#   test    the win32 build's Windows test programs in a private Xvfb
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

# Runs a test program, its output shown as it comes, for at most the seconds
# given. Its tests bound their own waits, so one still running then waits
# where nothing bounds it or has stopped answering: the failure says which test
# it was in and what every process was doing, and ends them all. Returns 3
# when Wine's server was found in a loop of its own.
run_test_program() {
    local test=$1 seconds=$2 log program shown status=0
    log=$(mktemp)
    "$WINE" "$test" >"$log" 2>&1 &
    program=$!
    tail -n +1 -f --pid="$program" "$log" &
    shown=$!
    SPINNING=""
    SPIN_SINCE=() SPIN_SWITCHES=()
    ended() { ! kill -0 "$program" 2>/dev/null || server_spinning; }
    last_test() { grep '^\[ RUN' "$log" | tail -n 1 | cut -c 14-; }
    if ! await_within "$seconds" "$test to end" ended; then
        echo "$test was in $(last_test)."
    elif [ -n "$SPINNING" ]; then
        echo "Wine's server, $SPINNING, ran for $SPIN_SECONDS s without once waiting, while $test was in $(last_test)."
        show_processes
        status=3
    fi
    if kill -0 "$program" 2>/dev/null; then
        kill -KILL "$program"
        # A server in a loop never reads the request to stop.
        [ -z "$SPINNING" ] || kill -KILL "$SPINNING"
        bounded "$PATIENCE" "Wine to stop" "$WINESERVER" -k || true
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
    # The programs the build lists, run as they are: the host's ctest would
    # need the same CMake in the tree for its generated files.
    tests=$(cat build/win32/wine-tests.txt) || exit 1
    status=0
    # Wine's own loop is no verdict on the clock: the program is run once
    # more in a new server, and a second loop fails the stage.
    run_listed() {
        local test=$1 dpi=${2:-}
        run_test_program "build/win32/$test" 1200 && return 0
        if [ $? = 3 ]; then
            echo "$test is run once more, in a new X display and Wine server, as Wine's server ended in a loop of its own."
            await "Wine's server to end" eval "! kill -0 $SPINNING 2>/dev/null"
            stop_session
            start_xvfb
            start_wine "$DESKCLOCK_WIN32_PREFIX" $dpi
            run_test_program "build/win32/$test" 1200 && return 0
        fi
        return 1
    }
    for test in $tests; do
        run_listed "$test" || status=1
    done
    # The real clock again on screens of 125 %, 200 % and 300 %, each a prefix of its own.
    for dpi in $SCALED_DPIS; do
        stop_wine
        start_wine "$DESKCLOCK_WIN32_PREFIX" "$dpi"
        echo "win32: blackbox_test.exe at $dpi DPI"
        export DESKCLOCK_TEST_DPI=$dpi
        run_listed blackbox_test.exe "$dpi" || status=1
        unset DESKCLOCK_TEST_DPI
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
