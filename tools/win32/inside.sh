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
    # The guest's preset runs the black-box tests only, for time.
    ctest --preset "win32-$DESKCLOCK_WIN32_ROUTE"
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
