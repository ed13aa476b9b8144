#!/usr/bin/env bash
# Builds the clock and runs it under wine64. With an X display it opens there
# until you press Esc; without one it runs in a private X display, saves a
# screenshot under build/ and ends the clock again.
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
"$WINE" "$CLOCK" </dev/null >/dev/null 2>&1 &
clock=$!

# Wine names its X windows after the program. The start-up notice is
# confirmed with Return, as a user would.
xdotool mousemove 160 120
for _ in $(seq 100); do
    if xdotool search --onlyvisible --name '^Version$' >/dev/null 2>&1; then
        xdotool key Return
    fi
    if xdotool search --onlyvisible --classname 'deskclock.exe' --name '^$' >/dev/null 2>&1; then
        break
    fi
    sleep 0.1
done
sleep 2    # the needles move to the time at the first tick

shot=build/deskclock.png
import -window root -crop 320x240+0+0 +repage "$shot"
echo "Screenshot: $PWD/$shot"

xdotool mousemove 160 120 key Escape
status=0
wait "$clock" || status=$?
echo "The clock ended with exit code $status."
