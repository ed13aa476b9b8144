#!/usr/bin/env bash
# Measures the clock next to a minimal window program that blocks in
# GetMessageA, all under the same wine64 in a private X display, and prints
# the figures as a table (also saved to build/bench.md). Asserts nothing.
# Usage: bash bench/run.sh [idle seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh
seconds=${1:-60}

install_packages $RUN_PACKAGES $TEST_PACKAGES
build_all >/dev/null
cmake --build --preset win64 --target baseline paint_bench wakeup_bench launch_bench -j"$(nproc)" >/dev/null

trap stop_session EXIT
start_xvfb
start_wine
W=build/win64

# Nanoseconds on the CPU of all threads of a process (user and system), from
# the scheduler's own accounting; under wine64 an .exe runs as the process
# started for it.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ total += $1 } END { printf "%d", total }'; }

echo "Idle CPU over $seconds s..." >&2
"$WINE" $W/deskclock.exe </dev/null >/dev/null 2>&1 &
clock=$!
# The baseline starts once the notice is confirmed: a window activated after
# the notice takes the keyboard, and the Return meant for the notice with it.
await "the clock's window" clock_window_shown
"$WINE" $W/baseline.exe </dev/null >/dev/null 2>&1 &
baseline=$!
await "the baseline's window" eval "xdotool search --onlyvisible --name '^Baseline\$' >/dev/null"
c0=$(cpu_ns $clock); b0=$(cpu_ns $baseline)
sleep "$seconds"
c1=$(cpu_ns $clock); b1=$(cpu_ns $baseline)
kill $clock $baseline 2>/dev/null || true
wait $clock $baseline 2>/dev/null || true
idle_clock=$((c1 - c0))
idle_base=$((b1 - b0))

echo "Wake-ups, repaints and launches..." >&2
wakeups=$("$WINE" $W/wakeup_bench.exe "$seconds" | tr -d '\r')
paint=$("$WINE" $W/paint_bench.exe | tr -d '\r')
launch=$("$WINE" $W/launch_bench.exe 10 | tr -d '\r')

size32=$(stat -c %s build/win32/deskclock.exe)
size64=$(stat -c %s build/win64/deskclock.exe)
# What the 32-bit exe holds besides its resources: code, data and runtime.
# binutils reads both builds' PE files; sizes are printed in hex.
OBJDUMP=x86_64-w64-mingw32-objdump
rsrc32=$((16#$($OBJDUMP -h build/win32/deskclock.exe | awk '$2 == ".rsrc" { print $3 }')))
# The skin is bitmap 101 (0x65), the first resource listed with that id.
skin=$(($($OBJDUMP -p build/win32/deskclock.exe |
    awk '/Entry: ID: 0x000065,/ { found = 1 } found && /Leaf:/ { sub(",", "", $6); print $6; exit }')))

{
echo "Run on $(date -u +%Y-%m-%d), $(nproc) cores, $("$WINE" --version), idle for $seconds s."
echo
echo "| Figure | deskclock | baseline | ratio | target |"
echo "|---|---|---|---|---|"
awk -v c="$idle_clock" -v b="$idle_base" -v t="$seconds" 'BEGIN {
    printf "| Idle CPU over %d s (all threads, user + system) | %.1f ms | %.1f ms | %s | under 0.1%% of a core |\n",
           t, c / 1e6, b / 1e6, (b > 0 ? sprintf("%.2f", c / b) : "baseline 0") }'
echo "$wakeups" | awk '{ printf "| Wake-ups (messages taken) per minute | %s | 0 | | |\n", $5 }'
echo "$paint" | awk '/drawing the face alone/ { d = $5; r = $7 } /a needle turned/ { t = $6; tr = $8 } /five bare/ { b = $4 }
    /through WM_PAINT/ { w = $4; wr = $6 } /direct paint/ { o = $5; or = $7 }
    /no drawing/ { e = $5; er = $7 }
    /repaint, window unshaped/ { u = $4; ur = $6 } /paint messages, unshaped/ { ue = $4; uer = $6 }
    END { printf "| One repaint, the clock alone: its painting routine, needles where they were (median of 1000) | %s us | %s us (five bare BitBlts) | %s | at most 0.5x |\n", d, b, r
          printf "| The same with the minute needle moved, so turned afresh (once a minute) | %s us | %s us | %s | |\n", t, b, tr
          printf "| One repaint through WM_PAINT: composed off the screen, one blit | %s us | %s us | %s | |\n", w, b, wr
          printf "| The same before: erased white, drawn on the screen in six steps | %s us | %s us | %s | |\n", o, b, or
          printf "| The paint messages alone, nothing drawn (platform only) | %s us | %s us | %s | |\n", e, b, er
          printf "| Repaint through WM_PAINT, the window without its round region | %s us | %s us | %s | |\n", u, b, ur
          printf "| The paint messages alone, the window without its round region | %s us | %s us | %s | |\n", ue, b, uer }'
echo "$launch" | awk '{ printf "| Launch to first paint (median of 10) | %s ms | %s ms | %s | |\n", $9, $12, $15 }'
awk -v s="$size32" 'BEGIN { printf "| 32-bit exe | %d bytes (%.1f KB) | | | |\n", s, s / 1024 }'
awk -v s="$size64" 'BEGIN { printf "| 64-bit exe | %d bytes (%.1f KB) | | | |\n", s, s / 1024 }'
awk -v s="$size32" -v r="$rsrc32" -v k="$skin" 'BEGIN {
    printf "| 32-bit exe without resources (code, data, runtime) | %d bytes (%.1f KB) | | | at most 32 KB |\n", s - r, (s - r) / 1024
    printf "| 32-bit resources (skin %d bytes) | %d bytes (%.1f KB) | | | |\n", k, r, r / 1024 }'
} | tee build/bench.md
echo "$wakeups" >&2
echo "$paint" >&2
echo "$launch" >&2
