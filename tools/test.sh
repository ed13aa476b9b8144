#!/usr/bin/env bash
# Builds the clock for 32- and 64-bit Windows and the host, then runs every
# test: native unit tests and checks of the 32-bit executable, then the 64-bit
# build under wine64 in a private X display, then the shipped 32-bit build under
# 32-bit Wine in a Debian tree of its own (see tools/win32/run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh

install_packages $RUN_PACKAGES $TEST_PACKAGES
build_all

ctest --preset host

trap stop_session EXIT
start_xvfb
start_wine
ctest --preset win64
capture_pictures build/win64/deskclock.exe build/pictures
# The real clock again on screens of 125 %, 200 % and 300 %, each a prefix of its own.
for dpi in $SCALED_DPIS; do
    stop_wine
    start_wine "" "$dpi"
    DESKCLOCK_TEST_DPI=$dpi ctest --preset win64 -L blackbox_test
    [ "$dpi" != 192 ] || capture_picture_200 build/win64/deskclock.exe build/pictures/clock-200.png
done
stop_session

bash tools/win32/run.sh tools/win32/inside.sh test
