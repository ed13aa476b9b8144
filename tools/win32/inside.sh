#!/usr/bin/env bash
# The jobs tools/win32/run.sh runs in the 32-bit Wine tree or guest:
#   test    the win32 build's Windows tests under ctest in a private Xvfb
#   clock   the shipped build/win32/deskclock.exe: on $DISPLAY until Esc when
#           one is given, otherwise headless, with the pictures of
#           tools/run.sh in build/win32-pictures/
set -euo pipefail
. tools/wine-session.sh

WINE=/usr/bin/wine
WINESERVER=/usr/lib/wine/wineserver32

# What start_wine32 writes into a new prefix; a prefix made by another
# version of it is made again.
PREFIX_VERSION="win32 Managed=N AeDebug=false"

# A 32-bit prefix, made once and kept. A crash must end the program at once:
# Wine's default starts winedbg, which waits, and with Auto=0 it asks in a
# message box first, which waits too; either way a test would hang until its
# timeout. Auto=1 with "false" as the debugger ends the process (exit code 5).
start_wine32() {
    export WINEPREFIX=$DESKCLOCK_WIN32_PREFIX WINEARCH=win32 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ "$(cat "$WINEPREFIX/.ready" 2>/dev/null)" != "$PREFIX_VERSION" ]; then
        local start
        start=$(date +%s)
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
        {
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
            "$WINE" reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f
            "$WINE" reg add "$aedebug" /v Debugger /t REG_SZ /d false /f
        } </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        echo "$PREFIX_VERSION" >"$WINEPREFIX/.ready"
        echo "win32: 32-bit prefix made in $(($(date +%s) - start)) s"
    fi
    # All three streams on /dev/null: Wine's services keep what they inherit
    # open, and ctest would wait for its pipe forever.
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
}

trap stop_session EXIT
case $1 in
test)
    start_xvfb
    start_wine32
    echo "win32: $(wine --version), $(uname -m) kernel $(uname -r), route $DESKCLOCK_WIN32_ROUTE"
    # The guest's preset runs the black-box tests only, for time, and leaves
    # out the one that counts the clock's child processes: there the seconds
    # between two tests are enough for Wine to close its desktop, and the
    # next clock starts a new explorer.exe as its own child.
    ctest --preset "win32-$DESKCLOCK_WIN32_ROUTE"
    ;;
clock)
    if [ -n "${DISPLAY:-}" ]; then
        start_wine32
        "$WINE" build/win32/deskclock.exe
    else
        start_xvfb
        start_wine32
        capture_pictures build/win32/deskclock.exe build/win32-pictures
    fi
    ;;
*)
    echo "usage: $0 test|clock" >&2
    exit 2
    ;;
esac
