#!/usr/bin/env bash
# Idle processor time of the running clock next to a program that only blocks
# in GetMessageA, both under the same wine64 at the same time.
# Usage: bench/idle.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh
seconds=${1:-60}

install_packages
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target deskclock baseline -j"$(nproc)" >/dev/null

trap stop_session EXIT
start_xvfb
start_wine

# utime + stime of a process, in clock ticks; under wine64 the process of an
# .exe is the one started for it.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

"$WINE" build/win64/deskclock.exe </dev/null >/dev/null 2>&1 &
clock=$!
"$WINE" build/win64/baseline.exe </dev/null >/dev/null 2>&1 &
baseline=$!
sleep 3    # past start-up and the first ticks
clock0=$(cpu_ticks $clock); base0=$(cpu_ticks $baseline)
server0=$(cpu_ticks "$(pgrep -n wineserver64)")
sleep "$seconds"
clock1=$(cpu_ticks $clock); base1=$(cpu_ticks $baseline)
server1=$(cpu_ticks "$(pgrep -n wineserver64)")
hz=$(getconf CLK_TCK)
awk -v c=$((clock1 - clock0)) -v b=$((base1 - base0)) -v s=$((server1 - server0)) -v hz="$hz" -v t="$seconds" 'BEGIN {
    printf "idle CPU over %d s: clock %.2f s (%.3f%%), baseline %.2f s (%.3f%%), wineserver %.2f s\n",
           t, c / hz, 100 * c / hz / t, b / hz, 100 * b / hz / t, s / hz }'
kill $clock $baseline 2>/dev/null || true
