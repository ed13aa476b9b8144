#!/usr/bin/env bash
# Builds the clock and runs it under wine64. With an X display it opens there
# until you press Esc; without one it runs in a private X display, makes the
# README's pictures in docs/ and ends the clock again.
# --win32 runs the shipped 32-bit build the same way under 32-bit Wine, in the
# Debian tree of tools/win32/run.sh; where that has to be a QEMU guest, always
# headless, with the pictures in build/win32-pictures/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh

if [ "${1:-}" = "--win32" ]; then
    install_packages $RUN_PACKAGES g++-mingw-w64-i686
    cmake --preset win32 -DDESKCLOCK_WINE_TESTS=OFF >/dev/null
    cmake --build --preset win32 --target deskclock tray_press -j"$(nproc)"
    exec bash tools/win32/run.sh --x11 tools/win32/inside.sh clock
fi
install_packages $RUN_PACKAGES
# The clock alone: its tests need GoogleTest, which running it does not.
cmake --preset win64 -DDESKCLOCK_WINE_TESTS=OFF >/dev/null
cmake --build --preset win64 --target deskclock tray_press -j"$(nproc)"
CLOCK=build/win64/deskclock.exe

if [ -n "${DISPLAY:-}" ]; then
    start_wine
    exec "$WINE" "$CLOCK"
fi

trap stop_session EXIT
start_xvfb
start_wine
capture_pictures "$CLOCK" docs
# The same clock on a screen of 200 %.
stop_wine
start_wine "" 192
capture_picture_200 "$CLOCK" docs/clock-200.png
