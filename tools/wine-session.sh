# Sourced by run.sh and test.sh: packages, a private X display and a Wine
# prefix for running the Windows build on Linux.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
NEEDED_PACKAGES="cmake g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 wine xvfb xdotool x11-utils imagemagick googletest debootstrap qemu-system-x86"

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

# Wine's services inherit every stream of whoever starts them and keep it
# open, so the server and the prefix are started here with all three on
# /dev/null; otherwise a pipe reader such as ctest would wait for them forever.
start_wine() {
    export WINEPREFIX="$PWD/build/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        # Without a window manager, Wine otherwise waits about two seconds
        # each time a window is hidden or destroyed.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
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
    local notice
    for _ in $(seq 100); do
        notice=$(xdotool search --onlyvisible --name '^Version$' 2>/dev/null | head -n 1 || true)
        if [ -n "$notice" ]; then
            xdotool mousemove --window "$notice" 20 20 key Return
        fi
        if xdotool search --onlyvisible --classname 'deskclock.exe' --name '^$' >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Runs the clock in the session's display, saves a screenshot of it as a PNG
# and ends it with Esc, as a user would. Fails unless it ends with code 0.
capture_clock() {
    local exe=$1 shot=$2
    "$WINE" "$exe" </dev/null >/dev/null 2>&1 &
    local clock=$!
    wait_for_clock_window || true
    xdotool mousemove 160 120
    sleep 2    # the needles move to the time at the first tick
    import -window root -crop 320x240+0+0 +repage "$shot"
    echo "Screenshot: $PWD/$shot"
    xdotool mousemove 160 120 key Escape
    local status=0
    wait "$clock" || status=$?
    echo "The clock ended with exit code $status."
    return "$status"
}
