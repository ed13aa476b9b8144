#!/usr/bin/env bash
# Builds the clock and runs it under wine64. With an X display it opens there
# until you press Esc; without one it runs in a private X display, makes the
# README's pictures in docs/ and ends the clock again.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh

install_packages
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target deskclock -j"$(nproc)"
CLOCK=build/win64/deskclock.exe

if [ -n "${DISPLAY:-}" ]; then
    start_wine
    exec "$WINE" "$CLOCK"
fi

trap stop_session EXIT
start_xvfb
start_wine
capture_pictures "$CLOCK" docs
