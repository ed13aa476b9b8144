# Sourced by run.sh and test.sh: packages, a private X display and a Wine
# prefix for running the Windows build on Linux.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
# The Debian package of every program the scripts run: a minimal Debian 13
# lacks several that Debian 12 has (make, e2fsprogs). Building and running the
# 64-bit clock needs the first list; testing adds the second.
RUN_PACKAGES="coreutils util-linux procps cmake make g++-mingw-w64-x86-64 wine64 wine xvfb xdotool imagemagick"
TEST_PACKAGES="g++ g++-mingw-w64-i686 googletest"

# Installs those of the packages given that are missing.
install_packages() {
    local missing=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
    fi
}

# The screens other than 96 DPI that the black-box test runs the clock on
# too: 125 %, the most common laptop setting and one where sizes do not
# divide evenly, 200 %, and 300 %, that of 13-inch 4K laptops. (150 % is
# the in-process test's.)
SCALED_DPIS="120 192 288"

# One bound for every wait of the scripts, as for every wait of the tests
# (tests/win/support.h): generous, since it costs nothing when the condition
# comes, and the emulated 32-bit guest beside other work once took over a
# minute to show a window.
PATIENCE=180

# Runs a command of Wine's, which waits on other processes, for at most the
# seconds given: one still running then is ended, after the failure has
# named it and said what the session was doing. Its streams are /dev/null:
# Wine's services inherit them and would keep a pipe of the caller open.
bounded() {
    local seconds=$1 what=$2 command status=0
    shift 2
    "$@" </dev/null >/dev/null 2>&1 &
    command=$!
    if ! await_within "$seconds" "$what" eval "! kill -0 $command 2>/dev/null"; then
        kill -KILL "$command" 2>/dev/null || true
        wait "$command" 2>/dev/null || true
        return 124
    fi
    wait "$command" || status=$?
    return "$status"
}

build_all() {
    cmake --preset host >/dev/null
    cmake --build --preset host -j"$(nproc)"
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j"$(nproc)"
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 -j"$(nproc)"
}

XVFB_PID=""

# Starts an Xvfb on a free display number and exports DISPLAY. Xvfb writes
# the number, a line, once it takes clients. The screen holds the clock at
# 300 % (960 x 720) where the black-box test drags it, at (200, 150).
start_xvfb() {
    local numbered
    numbered=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numbered" >/dev/null 2>&1 &
    XVFB_PID=$!
    await "Xvfb to start" eval "[ \"\$(wc -l <'$numbered')\" = 1 ] || ! kill -0 $XVFB_PID 2>/dev/null" || return 1
    [ "$(wc -l <"$numbered")" = 1 ] || { echo "Xvfb ended without starting." >&2; return 1; }
    export DISPLAY=":$(cat "$numbered")"
    rm -f "$numbered"
}

# What start_wine writes into a new prefix; a prefix made with other settings
# is made again.
PREFIX_SETTINGS="Managed=N AeDebug=false"

# Starts Wine in a prefix of the build, by default build/wineprefix, making
# the prefix first where it is missing or made with other settings. Wine's
# services inherit every stream of whoever starts them and keep it open, so
# the server and the prefix are started here with all three on /dev/null;
# otherwise a pipe reader such as ctest would wait for them forever.
# With a DPI as well (120, 144, 192), Wine starts instead in a prefix beside
# it whose screens are of that DPI: a prefix has one, which its server reads
# as it starts. That prefix is a copy of the first, far quicker to make than
# a new one, with its DPI set.
start_wine() {
    local base=${1:-$PWD/build/wineprefix} dpi=${2:-}
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -n "$dpi" ]; then
        if [ "$(cat "$base-dpi$dpi/.settings" 2>/dev/null)" != "$PREFIX_SETTINGS LogPixels=$dpi" ]; then
            start_wine "$base"
            stop_wine
            rm -rf "$base-dpi$dpi"
            cp -a "$base" "$base-dpi$dpi"
            export WINEPREFIX=$base-dpi$dpi
            bounded "$PATIENCE" "a registry setting" "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
            bounded 1200 "Wine to write its prefix" "$WINESERVER" -w
            echo "$PREFIX_SETTINGS LogPixels=$dpi" >"$WINEPREFIX/.settings"
        fi
        export WINEPREFIX=$base-dpi$dpi
        "$WINESERVER" -p </dev/null >/dev/null 2>&1
        bounded 1200 "Wine to start in its prefix" "$WINE" wineboot
        return
    fi
    export WINEPREFIX=$base
    # Making or updating a prefix takes Wine minutes in the emulated guest
    # (about 4 alone, 7 beside three other guests on two cores): wineboot
    # has a longer bound than the other waits, that of a whole test program.
    if [ "$(cat "$WINEPREFIX/.settings" 2>/dev/null)" != "$PREFIX_SETTINGS" ]; then
        local start aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
        start=$(date +%s)
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        bounded 1200 "a new Wine prefix" "$WINE" wineboot -i
        bounded 1200 "Wine to finish making its prefix" "$WINESERVER" -w
        # Without a window manager, Wine otherwise waits about two seconds
        # each time a window is hidden or destroyed.
        bounded "$PATIENCE" "a registry setting" "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
        # A crash would otherwise start the debugger, or without one ask in a
        # box whether to: a crashing test would wait until its time-out. A
        # debugger that cannot start ends the program at once.
        bounded "$PATIENCE" "a registry setting" "$WINE" reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f
        bounded "$PATIENCE" "a registry setting" "$WINE" reg add "$aedebug" /v Debugger /t REG_SZ /d false /f
        bounded 1200 "Wine to write its prefix" "$WINESERVER" -w
        echo "$PREFIX_SETTINGS" >"$WINEPREFIX/.settings"
        echo "Wine prefix $WINEPREFIX made in $(($(date +%s) - start)) s"
    fi
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    bounded 1200 "Wine to start in its prefix" "$WINE" wineboot
}

# Stops the Wine server of the prefix in use, and with it every program.
stop_wine() {
    if [ -n "${WINEPREFIX:-}" ]; then
        bounded "$PATIENCE" "Wine to stop" "$WINESERVER" -k || true
    fi
}

stop_session() {
    stop_wine
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        await "Xvfb to end" eval "! kill -0 $XVFB_PID 2>/dev/null" || kill -KILL "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# Waits for a condition: runs the command given until it succeeds, for at
# most PATIENCE seconds. Fails naming what was awaited and what every process
# of the session was doing.
await() {
    await_within "$PATIENCE" "$@"
}

# The same with the bound given in seconds.
await_within() {
    local seconds=$1 what=$2 deadline=$((SECONDS + $1))
    shift 2
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "Waited $seconds s for $what."
            show_processes
            return 1
        fi >&2
        sleep 0.1
    done
}

# The processes of this session: this script's children, its X display and
# whatever runs in its Wine prefix, Wine's server included.
session_processes() {
    local process list="$$ $(pgrep -d ' ' -P $$) $XVFB_PID"
    if [ -n "${WINEPREFIX:-}" ]; then
        for process in /proc/[0-9]*; do
            { tr '\0' '\n' <"$process/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
                list="$list ${process#/proc/}"
        done
    fi
    echo $list
}

# What every process of the session, and Wine's server above all, was doing.
show_processes() {
    local processes process
    processes=$(session_processes)
    echo "Its processes then (threads; wchan is where each one sleeps in the kernel):"
    ps -Lo pid,tid,stat,pcpu,time,wchan:28,args -p "${processes// /,}" || true
    for process in $processes; do
        [[ "$(cat "/proc/$process/comm" 2>/dev/null)" == wineserver* ]] &&
            echo "Wine's server, $process, in system call: $(cat "/proc/$process/syscall" 2>/dev/null)"
    done
    # Only a guest's kernel is the session's own.
    if [ "${DESKCLOCK_WIN32_ROUTE:-}" = guest ]; then
        echo "The kernel's last words, $(cut -d' ' -f1 /proc/uptime) s after it started:"
        dmesg | tail -n 20
    fi
}

# The X window of a running clock's main window of the size given (by default
# 320x240, its size at 100 %), in CLOCK_WINDOW once shown;
# its start-up notice is confirmed on the way as a user would. Without a
# window manager the keyboard follows the pointer, so the pointer is put on
# the notice first.
clock_window_shown() {
    local size=${1:-320x240}
    local notice window
    notice=$(xdotool search --onlyvisible --name '^Version$' 2>/dev/null | head -n 1) &&
        xdotool mousemove --window "$notice" 20 20 key Return 2>/dev/null
    # xdotool takes one pattern: the class is searched, the empty caption
    # (the notice's is "Version") and the size checked after.
    for window in $(xdotool search --onlyvisible --classname 'deskclock.exe' 2>/dev/null); do
        if [ -z "$(xdotool getwindowname "$window" 2>/dev/null)" ] &&
            xdotool getwindowgeometry "$window" 2>/dev/null | grep -q "Geometry: $size\$"; then
            CLOCK_WINDOW=$window
            return 0
        fi
    done
    return 1
}

# Whether the clock's window is at the screen place given.
clock_at() {
    xdotool getwindowgeometry "$CLOCK_WINDOW" 2>/dev/null | grep -q "Position: $1,$2 "
}

# Whether the clock shows another window than its face: its tray menu.
clock_menu_open() {
    local window
    for window in $(xdotool search --onlyvisible --classname 'deskclock.exe' 2>/dev/null); do
        [ "$window" != "$CLOCK_WINDOW" ] && return 0
    done
    return 1
}

# Whether most pixels of the screen's area given (WxH+X+Y) differ from those
# of the picture given, at its area given, of the same size.
area_changed() {
    local size=${1%%+*} shot was differ
    shot=$(mktemp --suffix=.png)
    was=$(mktemp --suffix=.png)
    import -window root -crop "$1" +repage "$shot"
    convert "$2" -crop "$3" +repage "$was"
    # Its count goes to the error stream; the status tells only "differs".
    differ=$(compare -metric AE "$shot" "$was" null: 2>&1) || true
    rm -f "$shot" "$was"
    [ "${differ%%[ .]*}" -gt $((${size%x*} * ${size#*x} / 2)) ]
}

# Runs the clock in the session's display as a person would meet it and saves
# three pictures of it in the given folder: the clock on a desktop
# (clock.png), with its controls shown (clock-controls.png) and with its tray
# menu open (tray-menu.png); then ends it with Esc. Each picture is taken once
# what it shows is on the screen. Fails, naming the step, unless each comes
# and the clock ends with code 0.
capture_pictures() {
    local exe=$1 folder=$2
    mkdir -p "$folder"
    "$WINE" "$exe" </dev/null >/dev/null 2>&1 &
    local clock=$!
    if ! capture_clock "$clock" "$exe" "$folder"; then
        import -window root "$folder/failed-screen.png" || true
        echo "The screen as it was then: $folder/failed-screen.png" >&2
        kill "$clock" 2>/dev/null || true
        wait "$clock" 2>/dev/null || true
        return 1
    fi
    local status=0
    wait "$clock" || status=$?
    echo "Pictures: $folder/clock.png, clock-controls.png, tray-menu.png; the clock ended with exit code $status."
    return "$status"
}

# A desktop-like background instead of the bare X root; set while the clock
# is connected, since the X server clears it when its last client leaves, and
# display ends with status 1 whatever it did.
desktop_background() {
    local background
    background=$(mktemp --suffix=.png)
    convert -size 1280x1024 gradient:'#4a7fb5-#1f3f66' "$background"
    display -window root "$background" || true
    rm -f "$background"
}

# Wine's stand-in for the notification area covers the clock's top-left
# corner: the clock, at the top left, is dragged clear of it as a user
# would, held at the screen point given (X Y, on its face), to the place
# given (TO_X TO_Y, by default 140 100). The moves reach the clock as X
# events, in order.
drag_clock_clear() {
    local x=$1 y=$2 to_x=${3:-140} to_y=${4:-100}
    xdotool mousemove "$x" "$y" mousedown 1
    for step in $(seq 1 10); do
        xdotool mousemove $((x + to_x * step / 10)) $((y + to_y * step / 10))
    done
    xdotool mouseup 1
    await "the clock dragged to $to_x,$to_y" clock_at "$to_x" "$to_y"
}

# The clock on a screen of 200 % (a prefix of 192 DPI), in the picture given,
# framed as the others are at twice their margin, then ended with Esc. The
# stand-in for the notification area is larger at 200 %: the clock is
# dragged further from it.
capture_picture_200() {
    local exe=$1 picture=$2
    "$WINE" "$exe" </dev/null >/dev/null 2>&1 &
    local clock=$!
    if ! { await "the clock's window at 200 %" clock_window_shown 640x480 && desktop_background &&
        drag_clock_clear 320 240 340 160; }; then
        import -window root "${picture%.png}-failed-screen.png" || true
        kill "$clock" 2>/dev/null || true
        wait "$clock" 2>/dev/null || true
        return 1
    fi
    import -window root -crop 720x560+300+120 +repage "$picture"
    # The pointer, left on the face by the drag, gives it the keyboard.
    xdotool key Escape
    await "the clock to end after Esc" eval "! kill -0 $clock 2>/dev/null" || return 1
    wait "$clock"
    echo "Picture at 200 %: $picture"
}

capture_clock() {
    local clock=$1 exe=$2 folder=$3
    await "the clock's window" clock_window_shown || return 1
    desktop_background
    drag_clock_clear 160 120 || return 1
    # Around the window, with some desktop on every side.
    import -window root -crop 360x280+120+80 +repage "$folder/clock.png"
    # Its controls, 90 x 45 from (115, 90) of the window, after Down; the
    # keyboard follows the pointer.
    xdotool key Down
    await "the controls shown after Down" area_changed 90x45+255+190 "$folder/clock.png" 90x45+135+110 || return 1
    import -window root -crop 360x280+120+80 +repage "$folder/clock-controls.png"
    # The menu opens at the pointer, beside the first icon of the stand-in.
    # A press made there with X input can be lost on a busy machine; handed
    # to the icon's window, as Wine's tray relays a real one, it is not.
    bounded "$PATIENCE" "the tray press" "$WINE" "$(dirname "$exe")/tray_press.exe" 13 32 ||
        { echo "No tray icon at (13, 32)." >&2; return 1; }
    await "the tray menu" clock_menu_open || return 1
    import -window root -crop 240x150+0+0 +repage "$folder/tray-menu.png"
    # The open menu keeps the keyboard: Esc is sent to the clock's window,
    # for the menu and then for the clock. The menu's Esc may reach the
    # clock too once the menu has closed, and the clock's window be gone.
    xdotool key --window "$CLOCK_WINDOW" Escape
    await "the tray menu to close after Esc" eval '! clock_menu_open' || return 1
    if kill -0 "$clock" 2>/dev/null; then
        xdotool key --window "$CLOCK_WINDOW" Escape 2>/dev/null || true
    fi
    await "the clock to end after Esc" eval "! kill -0 $clock 2>/dev/null"
}

