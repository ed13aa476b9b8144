# Sourced by run.sh and test.sh: packages, a private X display and a Wine
# prefix for running the Windows build on Linux.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
NEEDED_PACKAGES="cmake g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine xvfb xdotool x11-utils imagemagick googletest zip unzip debootstrap qemu-system-x86"

install_packages() {
    local missing=""
    for p in $NEEDED_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
    fi
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

# Starts an Xvfb on a free display number and exports DISPLAY.
start_xvfb() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}

# What start_wine writes into a new prefix; a prefix made with other settings
# is made again.
PREFIX_SETTINGS="Managed=N AeDebug=false"

# Starts Wine in a prefix of the build, by default build/wineprefix, making
# the prefix first where it is missing or made with other settings. Wine's
# services inherit every stream of whoever starts them and keep it open, so
# the server and the prefix are started here with all three on /dev/null;
# otherwise a pipe reader such as ctest would wait for them forever.
start_wine() {
    export WINEPREFIX=${1:-$PWD/build/wineprefix}
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ "$(cat "$WINEPREFIX/.settings" 2>/dev/null)" != "$PREFIX_SETTINGS" ]; then
        local start aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
        start=$(date +%s)
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        {
            # Without a window manager, Wine otherwise waits about two
            # seconds each time a window is hidden or destroyed.
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
            # A crash would otherwise start the debugger, or without one ask
            # in a box whether to: a crashing test would wait until its
            # time-out. A debugger that cannot start ends the program at once.
            "$WINE" reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f
            "$WINE" reg add "$aedebug" /v Debugger /t REG_SZ /d false /f
        } </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        echo "$PREFIX_SETTINGS" >"$WINEPREFIX/.settings"
        echo "Wine prefix $WINEPREFIX made in $(($(date +%s) - start)) s"
    fi
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
}

stop_session() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# Waits up to ten seconds for a started clock's window, confirming its
# start-up notice on the way as a user would. Without a window manager the
# keyboard follows the pointer, so the pointer is put on the notice first.
wait_for_clock_window() {
    local notice window
    for _ in $(seq 100); do
        notice=$(xdotool search --onlyvisible --name '^Version$' 2>/dev/null | head -n 1 || true)
        if [ -n "$notice" ]; then
            xdotool mousemove --window "$notice" 20 20 key Return
        fi
        # xdotool takes one pattern: the class is searched, the empty
        # caption (the notice's is "Version") checked after.
        for window in $(xdotool search --onlyvisible --classname 'deskclock.exe' 2>/dev/null); do
            [ -z "$(xdotool getwindowname "$window" 2>/dev/null)" ] && return 0
        done
        sleep 0.1
    done
    return 1
}

# Runs the clock in the session's display as a person would meet it and saves
# three pictures of it in the given folder: the clock on a desktop
# (clock.png), with its controls shown (clock-controls.png) and with its tray
# menu open (tray-menu.png); then ends it with Esc. Fails unless the clock
# ends with code 0.
capture_pictures() {
    local exe=$1 folder=$2
    mkdir -p "$folder"
    "$WINE" "$exe" </dev/null >/dev/null 2>&1 &
    local clock=$!
    wait_for_clock_window || true
    # A desktop-like background instead of the bare X root; set while the
    # clock is connected, since the X server clears it when its last client
    # leaves, and display ends with status 1 whatever it did.
    local background
    background=$(mktemp --suffix=.png)
    convert -size 1024x768 gradient:'#4a7fb5-#1f3f66' "$background"
    display -window root "$background" || true
    rm -f "$background"
    # Wine's stand-in for the notification area covers the clock's top-left
    # corner: the clock is dragged clear of it, by its face, as a user would.
    xdotool mousemove 160 120 mousedown 1
    for step in $(seq 1 10); do
        xdotool mousemove $((160 + 14 * step)) $((120 + 10 * step))
        sleep 0.05
    done
    xdotool mouseup 1
    sleep 0.5
    # The window's place on the screen once the move has reached X: the
    # clock's is the one of its program's windows that is 320 x 240.
    local id="" X=0 Y=0 WIDTH HEIGHT candidate
    for _ in $(seq 30); do
        for candidate in $(xdotool search --onlyvisible --classname 'deskclock.exe' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$candidate" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
            if [ "$WIDTH" = 320 ] && [ "$HEIGHT" = 240 ]; then
                id=$candidate
                break
            fi
        done
        [ -n "$id" ] && [ "$X" -gt 0 ] && break
        sleep 0.1
    done
    local x=$X y=$Y
    if [ "$x" -lt 20 ] || [ "$y" -lt 20 ]; then
        echo "The clock could not be moved clear of the tray." >&2
        x=20 y=20
    fi
    # Around the window, with some desktop on every side.
    local crop=360x280+$((x - 20))+$((y - 20))
    import -window root -crop "$crop" +repage "$folder/clock.png"
    xdotool key Down
    sleep 0.5
    import -window root -crop "$crop" +repage "$folder/clock-controls.png"
    xdotool key Up
    # The menu opens at the pointer, beside the first icon of the stand-in.
    xdotool mousemove 13 32
    sleep 0.5    # a click at once would only bring up the tip
    xdotool click 3
    sleep 1
    import -window root -crop 240x150+0+0 +repage "$folder/tray-menu.png"
    echo "Pictures: $folder/clock.png, clock-controls.png, tray-menu.png"
    # The open menu keeps the keyboard: Esc is sent to the clock's window,
    # once for the menu and once for the clock.
    for _ in 1 2; do
        kill -0 "$clock" 2>/dev/null && xdotool key --window "$id" Escape 2>/dev/null
        sleep 0.5
    done
    local status=0
    wait "$clock" || status=$?
    echo "The clock ended with exit code $status."
    return "$status"
}
