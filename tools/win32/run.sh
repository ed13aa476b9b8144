#!/usr/bin/env bash
# Runs a job script of this checkout with 32-bit Wine at hand: in the Debian
# tree of tools/win32/tree.sh, natively where the host kernel runs 32-bit
# code, otherwise in that tree booted as a QEMU guest. Prints the job's output
# and ends with its exit status.
#
#   bash tools/win32/run.sh [--x11] JOB [ARGS...]
#
# JOB is a path relative to the checkout, which the job sees at the same
# absolute path as here, so the build's own paths hold. --x11 shares the
# host's X sockets with a native run (a guest has none, and gets no DISPLAY).
# DESKCLOCK_WIN32_ROUTE=native or guest forces a route.
#
# The tree (build/win32-tree) and the guest's disk (build/win32-guest.img) are
# kept and made again only when tools/win32/tree.sh changes. The native
# route's Wine prefix is build/win32-prefix; the guest's lives in its disk.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/wine-session.sh
checkout=$PWD
tree=$checkout/build/win32-tree
image=$checkout/build/win32-guest.img
work=$checkout/build/win32-run

x11=no
if [ "${1:-}" = "--x11" ]; then
    x11=yes
    shift
fi
job=$1
shift

stamp() { echo "$1 $(sha256sum tools/win32/tree.sh | cut -d' ' -f1)"; }
seconds() { echo $(($(date +%s) - $1)); }

# Both routes: debootstrap makes the tree, util-linux and mount enter it.
install_packages coreutils util-linux mount debootstrap
recipe=$(stamp tree)
if [ "$(cat "$tree/.recipe" 2>/dev/null)" != "$recipe" ]; then
    echo "win32: building the Debian tree in $tree (once; a few minutes)"
    start=$(date +%s)
    rm -f "$image" "$image.recipe"
    bash tools/win32/tree.sh "$tree.new"
    rm -rf --one-file-system "$tree"
    mv "$tree.new" "$tree"
    mv "$tree.new.log" "$tree.log"
    echo "$recipe" >"$tree/.recipe"
    echo "win32: tree built in $(seconds "$start") s"
fi

route=${DESKCLOCK_WIN32_ROUTE:-}
if [ -z "$route" ]; then
    # The one test that tells: does this kernel start an i386 program? The
    # tree's 32-bit dynamic loader is one that runs on its own.
    if why=$("$tree/usr/lib/i386-linux-gnu/ld-linux.so.2" --version 2>&1); then
        route=native
    else
        route=guest
        echo "win32: the host does not run 32-bit code (${why##*: }); using a QEMU guest"
    fi
fi

case $route in
native | guest) ;;
*)
    echo "DESKCLOCK_WIN32_ROUTE must be native or guest, not '$route'" >&2
    exit 2
    ;;
esac

rm -rf "$work"
mkdir -p "$work"
{
    echo "cd '$checkout'"
    printf 'export DESKCLOCK_WIN32_ROUTE=%q\n' "$route"
    if [ "$route" = native ]; then
        echo "export DESKCLOCK_WIN32_PREFIX='$checkout/build/win32-prefix'"
        if [ "$x11" = yes ] && [ -n "${DISPLAY:-}" ]; then
            printf 'export DISPLAY=%q\n' "$DISPLAY"
            cookie=${XAUTHORITY:-$HOME/.Xauthority}
            if [ -r "$cookie" ]; then
                cp "$cookie" "$work/Xauthority"
                echo "export XAUTHORITY='$work/Xauthority'"
            fi
        fi
    else
        echo "export DESKCLOCK_WIN32_PREFIX=/var/lib/deskclock/prefix"
    fi
    printf 'exec bash %q' "$job"
    printf ' %q' "$@"
    echo
} >"$work/job.sh"
rm -f "$work/job.sh.status"

if [ "$route" = native ]; then
    echo "win32: running $job in the tree (native)"
    x11dir=""
    [ "$x11" = yes ] && [ -d /tmp/.X11-unix ] && x11dir=/tmp/.X11-unix
    start=$(date +%s)
    status=0
    # A private mount namespace and PID namespace: when the job ends, the
    # kernel unmounts everything mounted for it and kills whatever it left
    # running (wineserver, Xvfb, a stuck test).
    unshare --mount --pid --fork --propagation private bash -c '
        set -e
        tree=$1 checkout=$2 x11dir=$3
        mount -t proc proc "$tree/proc"
        mount --rbind /dev "$tree/dev"
        mount -t tmpfs tmpfs "$tree/dev/shm"
        mount -t tmpfs tmpfs "$tree/tmp"
        mkdir -p "$tree$checkout"
        mount --bind "$checkout" "$tree$checkout"
        if [ -n "$x11dir" ]; then
            mkdir -p "$tree/tmp/.X11-unix"
            mount --bind "$x11dir" "$tree/tmp/.X11-unix"
        fi
        env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
            chroot "$tree" /bin/bash "$checkout/build/win32-run/job.sh"
    ' - "$tree" "$checkout" "$x11dir" </dev/null || status=$?
    echo "win32: native run ended with status $status after $(seconds "$start") s"
    exit "$status"
fi

# The guest's disk is made with e2fsprogs' mkfs.ext4, and booted by QEMU.
install_packages qemu-system-x86 e2fsprogs
# Room for the tree (1.5 GB) and four Wine prefixes of about 0.7 GB each:
# the stage's own and its copies for three other DPIs. A sparse file.
size=6G
recipe="$(stamp image) $size"
if [ "$(cat "$image.recipe" 2>/dev/null)" != "$recipe" ]; then
    echo "win32: making the guest's disk $image (once)"
    start=$(date +%s)
    rm -f "$image" "$image.recipe"
    mkfs.ext4 -q -F -L deskclock -d "$tree" "$image.new" "$size"
    mv "$image.new" "$image"
    echo "$recipe" >"$image.recipe"
    echo "win32: disk made in $(seconds "$start") s"
fi

kernel=$(ls "$tree"/boot/vmlinuz-* | sort -V | tail -n 1)
initrd=$tree/boot/initrd.img-${kernel##*/vmlinuz-}
echo "win32: running $job in a QEMU guest (TCG, several times slower than native)"
start=$(date +%s)
qemu=""
cleanup() {
    if [ -n "$qemu" ]; then
        kill "$qemu" 2>/dev/null || true
        wait "$qemu" 2>/dev/null || true
    fi
}
trap cleanup EXIT
# TCG because a stock kernel does not boot under this machine's nested KVM;
# smap=off because with it QEMU 7.2's TCG makes the guest kernel oops when
# 32-bit Wine returns to user mode. One processor: with two, each on a host
# thread of its own, the kernel can oops when it rewrites its own code while
# the other runs it (it does so about 3 s into boot, as it marks its clock
# stable), and one in several boots failed that way.
# The job bounds each of its steps (tools/win32/inside.sh); this bound ends a
# guest that hangs altogether. It is far above a whole job's time (11 minutes
# with four guests at once on two cores) and within CI's 90 minutes.
timeout --foreground 3000 qemu-system-x86_64 \
    -accel tcg -cpu max,smap=off -smp 1 -m 2048 \
    -kernel "$kernel" -initrd "$initrd" \
    -append "root=/dev/vda rw console=ttyS0 quiet loglevel=3 panic=1 init=/sbin/deskclock-init deskclock_share=$checkout deskclock_job=build/win32-run/job.sh" \
    -drive file="$image",format=raw,if=virtio \
    -virtfs local,path="$checkout",mount_tag=share,security_model=none,id=share \
    -nic none -display none -monitor none -serial stdio -no-reboot </dev/null &
qemu=$!
status=0
wait "$qemu" || status=$?
qemu=""
if [ "$status" -ne 0 ]; then
    echo "win32: QEMU ended with status $status"
    exit 1
fi
if ! status=$(cat "$work/job.sh.status" 2>/dev/null); then
    echo "win32: the guest ended after $(seconds "$start") s before its job did; its console is above"
    exit 1
fi
echo "win32: guest run ended with status $status after $(seconds "$start") s"
[ "$status" = 0 ]
