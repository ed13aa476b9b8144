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
case $1 in
test)
    start_xvfb
    start_wine "$DESKCLOCK_WIN32_PREFIX"
    echo "win32: $(wine --version), $(uname -m) kernel $(uname -r), route $DESKCLOCK_WIN32_ROUTE"
    # The test programs are run as they are, not through the host's ctest,
    # whose generated files need the same CMake in the tree. The guest runs
    # the black-box tests only, for time. Each test bounds its own waits; the
    # time-out only ends a program that has stopped answering altogether.
    tests="build/win32/blackbox_test.exe"
    [ "$DESKCLOCK_WIN32_ROUTE" = guest ] || tests="build/win32/inprocess_test.exe $tests"
    status=0
    for test in $tests; do
        timeout --kill-after=10 2400 "$WINE" "$test" || status=1
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
