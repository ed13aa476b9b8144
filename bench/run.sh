#!/usr/bin/env bash
# Measures the clock next to a minimal window program that blocks in
# GetMessageA, all under the same wine64 in a private X display, and prints
# the figures as a table (also saved to build/bench.md). Asserts nothing.
# The clock is measured on a screen of 100 % and, in a prefix of its own, of
# 200 %, the two side by side.
# Usage: bash bench/run.sh [idle seconds, default 60] [launches, default 25]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-session.sh
seconds=${1:-60}
launches=${2:-25}

install_packages $RUN_PACKAGES $TEST_PACKAGES
build_all >/dev/null
cmake --build --preset win64 --target baseline paint_bench wakeup_bench launch_bench -j"$(nproc)" >/dev/null

stop_both() {
    stop_session
    [ -z "${P200:-}" ] || WINEPREFIX=$P200 bounded "$PATIENCE" "Wine to stop" "$WINESERVER" -k || true
}
trap stop_both EXIT
start_xvfb
# Two prefixes, two Wine servers, one display: 200 % first, as making it
# stops the server of the prefix it is copied from.
start_wine "" 192
P200=$WINEPREFIX
start_wine
W=build/win64
# A program of the bench on the screen of 200 %.
at200() { WINEPREFIX=$P200 "$WINE" "$@"; }

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
WINEPREFIX=$P200 "$WINE" $W/deskclock.exe </dev/null >/dev/null 2>&1 &
clock200=$!
await "the clock's window at 200 %" clock_window_shown 640x480
c0=$(cpu_ns $clock); b0=$(cpu_ns $baseline); d0=$(cpu_ns $clock200)
sleep "$seconds"
c1=$(cpu_ns $clock); b1=$(cpu_ns $baseline); d1=$(cpu_ns $clock200)
kill $clock $baseline $clock200 2>/dev/null || true
wait $clock $baseline $clock200 2>/dev/null || true
idle_clock=$((c1 - c0))
idle_base=$((b1 - b0))
idle_clock200=$((d1 - d0))

echo "Wake-ups, repaints and launches..." >&2
at200 $W/wakeup_bench.exe "$seconds" >build/wakeups200.txt &
wakeups200_run=$!
wakeups=$("$WINE" $W/wakeup_bench.exe "$seconds" | tr -d '\r')
wait $wakeups200_run
wakeups200=$(tr -d '\r' <build/wakeups200.txt)
paint=$("$WINE" $W/paint_bench.exe | tr -d '\r')
# Launches interleaved, so that whatever else the machine does falls on all
# three alike: the baseline, the clock at 100 % and the clock at 200 %.
: >build/launches.txt
for round in $(seq 1 "$launches"); do
    baseline_ms=$("$WINE" $W/launch_bench.exe baseline | tr -d '\r')
    clock_ms=$("$WINE" $W/launch_bench.exe clock | tr -d '\r')
    clock200_ms=$(at200 $W/launch_bench.exe clock | tr -d '\r')
    printf 'baseline %s\nclock %s\nclock200 %s\n' "$baseline_ms" "$clock_ms" "$clock200_ms" >>build/launches.txt
done
# The median of each, and its spread: the middle half of the launches (first
# to third quartile).
launch=$(for what in baseline clock clock200; do
    awk -v w="$what" '$1 == w { print $2 }' build/launches.txt | sort -n |
        awk -v w="$what" '{ t[NR] = $1 } END { printf "%s %.0f %.0f %.0f\n", w, t[int((NR + 1) / 2)], t[int((NR + 3) / 4)], t[int((3 * NR + 3) / 4)] }'
done)

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
awk -v c="$idle_clock200" -v b="$idle_base" -v t="$seconds" 'BEGIN {
    printf "| The same at 200 %%: idle CPU over %d s | %.1f ms | %.1f ms | | under 0.1%% of a core |\n", t, c / 1e6, b / 1e6 }'
echo "$wakeups200" | awk '{ printf "| The same at 200 %%: wake-ups per minute | %s | 0 | | |\n", $5 }'
echo "$paint" | awk '/drawing the face alone/ { d = $5; r = $7 } /the same, a needle turned/ { t = $6; tr = $8 } /five bare/ { b = $4 }
    /at 200 %, needles/ { d2 = $8; r2 = $10 } /at 200 %, a needle turned/ { t2 = $7; tr2 = $9 }
    /dial drawn at/ { dial = dial sprintf("%s%s %%: %.1f ms", dial == "" ? "" : ", ", $5, $7 / 1000) }
    /through WM_PAINT/ { w = $4; wr = $6 } /direct paint/ { o = $5; or = $7 }
    /no drawing/ { e = $5; er = $7 }
    /repaint, window unshaped/ { u = $4; ur = $6 } /paint messages, unshaped/ { ue = $4; uer = $6 }
    END { printf "| One repaint, the clock alone: its painting routine, needles where they were (median of 1000) | %s us | %s us (five bare BitBlts) | %s | at most 0.5x |\n", d, b, r
          printf "| The same with the minute needle moved, so turned afresh (once a minute) | %s us | %s us | %s | |\n", t, b, tr
          printf "| The painting routine at 200 %%, needles where they were | %s us | %s us | %s | |\n", d2, b, r2
          printf "| The same at 200 %%, a needle turned afresh | %s us | %s us | %s | |\n", t2, b, tr2
          printf "| The dial drawn from its geometry, once for each DPI the clock meets | %s | | | |\n", dial
          printf "| One repaint through WM_PAINT: composed off the screen, one blit | %s us | %s us | %s | |\n", w, b, wr
          printf "| The same before: erased white, drawn on the screen in six steps | %s us | %s us | %s | |\n", o, b, or
          printf "| The paint messages alone, nothing drawn (platform only) | %s us | %s us | %s | |\n", e, b, er
          printf "| Repaint through WM_PAINT, the window without its round region | %s us | %s us | %s | |\n", u, b, ur
          printf "| The paint messages alone, the window without its round region | %s us | %s us | %s | |\n", ue, b, uer }'
echo "$launch" | awk '{ m[$1] = $2; q[$1] = $3 "-" $4 " ms" }
    END { printf "| Launch to first paint (median of %d; middle half) | %s ms (%s) | %s ms (%s) | %.2f | |\n", n, m["clock"], q["clock"], m["baseline"], q["baseline"], m["clock"] / m["baseline"]
          printf "| The same at 200 %%, against the clock at 100 %% | %s ms (%s) | %s ms | %.2f | at most 1.3x |\n", m["clock200"], q["clock200"], m["clock"], m["clock200"] / m["clock"] }' n="$launches"
awk -v s="$size32" 'BEGIN { printf "| 32-bit exe | %d bytes (%.1f KB) | | | |\n", s, s / 1024 }'
awk -v s="$size64" 'BEGIN { printf "| 64-bit exe | %d bytes (%.1f KB) | | | |\n", s, s / 1024 }'
awk -v s="$size32" -v r="$rsrc32" -v k="$skin" 'BEGIN {
    printf "| 32-bit exe without resources (code, data, runtime) | %d bytes (%.1f KB) | | | at most 40 KB |\n", s - r, (s - r) / 1024
    printf "| 32-bit resources (skin %d bytes) | %d bytes (%.1f KB) | | | |\n", k, r, r / 1024 }'
} | tee build/bench.md
echo "$wakeups" >&2
echo "$paint" >&2
echo "$launch" >&2
