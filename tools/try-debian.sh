#!/usr/bin/env bash
# Tries the README's two commands as a new user of a Debian release would: in
# a minimal tree of that release, made from Debian's archive (and kept in
# build/try-RELEASE for the next try), with a fresh clone of this checkout's
# last commit, it runs the run command without a display and then the test
# command, and reports each one's status and time.
#
#   bash tools/try-debian.sh trixie|bookworm|...
#
# DESKCLOCK_WIN32_ROUTE, when set, is passed on, so that the guest route can be
# tried on a machine whose kernel runs 32-bit code.
#
# The tree is entered with chroot in private mount and PID namespaces, so
# whatever the commands leave running ends with them. Its root is made a
# mount point of its own, so that the test command's 32-bit stage can nest
# its own tree inside in the same way.
set -euo pipefail
cd "$(dirname "$0")/.."
release=${1:?usage: bash tools/try-debian.sh RELEASE}
tree=$PWD/build/try-$release

. tools/wine-session.sh
install_packages debootstrap git util-linux mount
if [ ! -e "$tree/.made" ]; then
    echo "try: making a minimal Debian $release tree in $tree"
    rm -rf --one-file-system "$tree"
    mkdir -p "$tree"
    unshare --mount --propagation private \
        debootstrap --variant=minbase "$release" "$tree" http://deb.debian.org/debian >"$tree.log" 2>&1 || {
        tail -n 20 "$tree.log"
        exit 1
    }
    printf '#!/bin/sh\nexit 101\n' >"$tree/usr/sbin/policy-rc.d"
    chmod 755 "$tree/usr/sbin/policy-rc.d"
    touch "$tree/.made"
fi
cp /etc/resolv.conf "$tree/etc/resolv.conf"
rm -rf --one-file-system "$tree/root/deskclock"
git clone -q --no-hardlinks "$PWD" "$tree/root/deskclock"
echo "try: $(cat "$tree/etc/debian_version") tree, commit $(git -C "$tree/root/deskclock" log -1 --format=%h)${DESKCLOCK_WIN32_ROUTE:+, 32-bit route $DESKCLOCK_WIN32_ROUTE}"

cat >"$tree/root/try.sh" <<'TRY'
cd /root/deskclock
for command in "bash tools/run.sh" "bash tools/test.sh"; do
    start=$(date +%s)
    status=0
    $command </dev/null || status=$?
    echo "try: '$command' ended with status $status after $(($(date +%s) - start)) s"
    [ "$status" = 0 ] || exit "$status"
done
TRY

unshare --mount --pid --fork --propagation private bash -c '
    set -e
    tree=$1
    mount --bind "$tree" "$tree"
    mount -t proc proc "$tree/proc"
    mount -t sysfs sysfs "$tree/sys"
    mount --rbind /dev "$tree/dev"
    mount -t tmpfs tmpfs "$tree/tmp"
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 TERM=dumb \
        ${2:+DESKCLOCK_WIN32_ROUTE=$2} chroot "$tree" /bin/bash /root/try.sh
' - "$tree" "${DESKCLOCK_WIN32_ROUTE:-}"
