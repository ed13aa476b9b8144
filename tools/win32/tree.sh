#!/usr/bin/env bash
# Builds, from Debian's archive alone, the tree in which the shipped 32-bit
# clock runs under 32-bit Wine: Debian 13 with its Wine 10 and the i386 half,
# Xvfb, the X tools and a kernel with its initramfs, so that the same tree can
# also be booted as a QEMU guest where the host kernel runs no 32-bit code.
# On a Debian 12 host the suite so runs under both Wine generations: 8 there,
# 10 here.
# 32-bit Wine never goes onto the host itself: it would take /usr/bin/wine
# away from the wine64 the other tests use.
#
#   bash tools/win32/tree.sh DIR
#
# tools/win32/run.sh calls this whenever the hash of this file differs from
# the one the tree was built from.
set -euo pipefail
dir=$1
mirror=http://deb.debian.org/debian

rm -rf --one-file-system "$dir"
mkdir -p "$dir"
# A private mount namespace: whatever debootstrap or a package script mounts
# inside the tree goes away with it, even when a step fails halfway.
unshare --mount --propagation private \
    debootstrap --arch=amd64 --variant=minbase trixie "$dir" "$mirror" >"$dir.log" 2>&1 || {
    tail -n 20 "$dir.log"
    exit 1
}

# Package scripts must not start services in the tree.
printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
chmod 755 "$dir/usr/sbin/policy-rc.d"
cp /etc/resolv.conf "$dir/etc/resolv.conf"

# PID 1 of the guest. It mounts the checkout from the host at the path it has
# there, so that the build's absolute paths hold, runs the job named on the
# kernel command line, leaves the job's exit status beside it and powers off.
cat >"$dir/sbin/deskclock-init" <<'INIT'
#!/bin/sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -o remount,rw /
arg() { tr ' ' '\n' </proc/cmdline | sed -n "s/^$1=//p"; }
share=$(arg deskclock_share)
job=$(arg deskclock_job)
# cache=loose: without it Wine reads wrong bytes of the executables on the share
modprobe 9pnet_virtio && modprobe 9p && mkdir -p "$share" &&
    mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose share "$share" && {
    cd "$share"
    # Through a pipe, so that programs write no terminal controls to the log.
    { bash "$job" </dev/null 2>&1; echo $? >"$job.status"; } | cat
    cd /
    kill -KILL -1
    # The killed processes let go of the share as they end.
    for _ in $(seq 1800); do umount "$share" 2>/dev/null && break; sleep 0.1; done
    if mountpoint -q "$share"; then echo "deskclock-init: waited 180 s for the share to be let go; powering off with it mounted"; fi
}
# PID 1 must not end before the power does, or the kernel panics. It waits in
# a program started now: once the disk is read-only, looking one up on it
# failed with I/O errors.
sleep infinity &
sync
mount -o remount,ro /
echo o >/proc/sysrq-trigger
wait
INIT
chmod 755 "$dir/sbin/deskclock-init"

# procps: what each process, and Wine's server, was doing when a wait runs
# out.
cat >"$dir/tmp/setup.sh" <<'SETUP'
set -eu
export DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    linux-image-amd64 kmod procps wine wine32:i386 fonts-wine xvfb xdotool x11-utils imagemagick \
    libfreetype6:i386 libfontconfig1:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386 \
    libxrandr2:i386 libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 >/dev/null
apt-get clean
rm -rf /var/lib/apt/lists/*
SETUP
unshare --mount --propagation private bash -c '
    set -e
    mount -t proc proc "$1/proc"
    mount -t sysfs sysfs "$1/sys"
    mount --rbind /dev "$1/dev"
    chroot "$1" /bin/bash /tmp/setup.sh' - "$dir" >>"$dir.log" 2>&1 || {
    tail -n 20 "$dir.log"
    exit 1
}
rm -f "$dir/tmp/setup.sh"
